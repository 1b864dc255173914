// Cost of writing a note whole: one 300 ms note (26504 bytes) written under a
// temporary name and renamed over the older one, left to the system's
// write-back (Cache, as notes are written) or synced to stable storage first
// (Durable, as lists and songs are), in an empty folder and in folders of
// 3000 and 10000 notes as a host's cache folder holds them (where the search
// for leftovers of dead processes runs on a share of the writes); and one
// whole search. Run in the system's temporary folder, which should be on the
// disk that notes go to. Wall-clock times: a sync waits for the disk, not the
// processor.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "platform/whole_file.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
struct ScratchFolder {
    ScratchFolder() {
        std::random_device device;
        path = fs::temp_directory_path() / ("kestrand-bench-" + std::to_string(device()));
        fs::create_directory(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

std::wstring wide(const fs::path& path) { return kestrand::widen(path.string()); }

// A scratch folder holding `count` small notes besides the one written.
void fillFolder(const ScratchFolder& folder, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) std::ofstream(folder.path / ("note" + std::to_string(i) + ".wav")) << "x";
}

void writeNote(benchmark::State& state, kestrand::Durability durability) {
    const ScratchFolder folder;
    fillFolder(folder, state.range(0));
    const std::vector<std::uint8_t> note(26504, 0x5A);
    const std::wstring path = wide(folder.path / "note.wav");
    for (auto _ : state) {
        if (!kestrand::writeWholeFile(path, note, durability)) state.SkipWithError("the note was not written");
    }
}

void BM_WriteNoteCache(benchmark::State& state) { writeNote(state, kestrand::Durability::Cache); }
void BM_WriteNoteDurable(benchmark::State& state) { writeNote(state, kestrand::Durability::Durable); }
BENCHMARK(BM_WriteNoteCache)->Arg(0)->Arg(3000)->Arg(10000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteNoteDurable)->Arg(0)->UseRealTime()->Unit(benchmark::kMicrosecond);

// One whole search, as writes in folders of a few hundred entries make it every time.
void BM_SearchFolderForLeftovers(benchmark::State& state) {
    const ScratchFolder folder;
    fillFolder(folder, state.range(0));
    const std::wstring path = wide(folder.path / "note0.wav");
    for (auto _ : state) kestrand::removeStaleTemporaryFiles(path);
}
BENCHMARK(BM_SearchFolderForLeftovers)
    ->Arg(100)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
