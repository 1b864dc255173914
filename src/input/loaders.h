// Inputs that are not plain WAV or AIFF files: outside decoder programs,
// .uri downloads and decoder plug-in modules.
//
// Every loader returns the raw interleaved PCM bytes of the stream followed by
// `slack` zero frames (slack x blockAlign zero bytes, as readWaveBytes does
// with its tail), the stream's WaveInfo and the data size in bytes; nothing on
// failure, after printing its own message where there is one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/wave_info.h"

namespace kestrand {

// Runs a command line from the input text (a text containing ".exe ") and
// reads its standard output as a canonical WAV stream. The text is split into
// the program and its arguments by the system's rules (splitCommandLine) and
// the program started directly, without a shell or command processor; the
// program must be allowed (allowedNamedFile) or the loadmodule command that
// the text begins with, which then gets the rest of the text as its one
// argument. Nothing when it is refused or cannot be started; "失敗" on
// standard output when the stream is not RIFF/WAVE.
std::optional<LoadedSample> loadCommandOutput(const std::wstring& commandText, std::int32_t slack);

// Loads a file by its extension: ".wav" with readWaveBytes, the compressed
// formats with the decoder program named by the matching environment variable
// (flacpath, lamepath, oggdecpath, faadpath, nerodecpath). Nothing, silently,
// when the path has no extension or no decoder is configured for it.
std::optional<LoadedSample> loadByExtension(const std::wstring& path, std::int32_t slack);

// The MP3 (lamepath) and FLAC (flacpath) decoders on their own; nothing when
// the variable is unset.
std::optional<LoadedSample> decodeMp3File(const std::wstring& path, std::int32_t slack);
std::optional<LoadedSample> decodeFlacFile(const std::wstring& path, std::int32_t slack);

// Loads the recording a .uri file points at: its local copy (the same name
// with ".uob") is downloaded with the program of webgetpath unless it exists,
// then decoded by the extension at the end of the .uri file's first line
// (".mp3", ".flac" or ".wav").
std::optional<LoadedSample> loadUriInput(const std::wstring& path, std::int32_t slack);

// Starts the program (arguments[0]) with the arguments and copies its standard
// output into the target file, which is replaced only when the whole output
// was written. Returns the number of bytes copied; 0, and no file, when the
// program cannot be started, writes nothing or the file cannot be written
// whole ("失敗" when it cannot be created).
std::uint64_t downloadToFile(const std::vector<std::wstring>& arguments, const std::wstring& target);

// The local file name for the recording of a .uri file: the .uri path up to
// and including its last ".", followed by the extension of the URL on the
// file's first line. Nothing, with a message on standard error, when either
// has no ".".
std::optional<std::wstring> uriLocalName(const std::wstring& uriPath);

// Loads a sample through a decoder plug-in module: the text is a module path
// ending in ".dll" (optionally in double quotes), a blank and the argument
// for the module. The module must be allowed (allowedNamedFile) or be the one
// loadmodule names; it is loaded by its full path.
std::optional<LoadedSample> loadFromPlugin(const std::wstring& inputText, std::int32_t slack);

}  // namespace kestrand
