#include "cli/program_info.h"

#include "dsp/vector_path.h"
#include "platform/console.h"

namespace kestrand {

namespace {

constexpr std::string_view kNoteHelp =
    R"(Usage: kestrand SAMPLE OUTPUT PITCH VELOCITY FLAGS OFFSET LENGTH CONSONANT CUT-OFF
                VOLUME MODULATION TEMPO PITCH-BEND [TEMPO2 INTENSITY]
Renders one note of a voice sample as a WAV file, the way a vocal-synthesis
host starts it once for every note of a song.

Positional arguments:
  SAMPLE      the voice sample (.wav, .aif; .flac, .mp3, .ogg, .aac/.m4a through
              decoder programs; .uri downloads; "prog.exe args" or "module.dll args")
  OUTPUT      the WAV file to write; "-" writes to standard output, "nul" discards
  PITCH       a note name (A4, C#5, Db3, A4+50 with cents), +n/-n semitones from
              the sample's own pitch, Hz above 20, or a ratio to it up to 20
  VELOCITY    consonant velocity in percent, a or a/b (b for the fixed tail)
  FLAGS       letters with values, see Flags below
  OFFSET      start of the usable region of the sample, ms
  LENGTH      requested note length, ms
  CONSONANT   fixed head of the region, ms; a/b also gives a fixed tail
  CUT-OFF     negative: region length from the offset; positive: the region ends
              that many ms before the end of the sample; 0: to the end
  VOLUME      percent, 0 to 200
  MODULATION  percent of the sample's own pitch movement kept
  TEMPO       beats per minute after one leading character (!120); *enc2, *cmp1,
              *hff3 after it select a compact codec for PITCH-BEND
  PITCH-BEND  one value per 1/96 beat in cents, two base64 characters each
  TEMPO2, INTENSITY  an optional gain curve in the same form

Flags (letters with an optional number, first occurrence counts):
  N    no formant restoration (direct waveform only)
  gN   gender (formant shift), -1200 to 1200, default 0
  BN   breathiness in percent, 0 to 100, default 50
  aN   breath tilt in percent, 0 to 1000, default 100
  R    render the region backwards
  iN   fixed tail, ms
  vN   tail velocity, percent
  tN   fine tune in cents, -200 to 199
  G    (re)build the sample's frequency list first
  n    quiet: print nothing
  SN   synthesis threads, 1 to 64
  PN   normalisation strength in percent, default 86 (0 keeps the level)

Environment:
  OUTPUT_SAMPLES_PER_SEC  output sample rate, 4000 to 384000 (default 44100)
  OUTPUT_BITS_PER_SAMPLE  8, 16, 24 (integer), 32, 64 (float) (default 16)
  loadmodule              a decoder command or module put before the sample's name
  flacpath, lamepath, oggdecpath, faadpath, nerodecpath  decoder programs
  webgetpath              the downloader for .uri inputs

Without arguments the program prints its banner and exits with 1; otherwise
it exits with 0 and reports failures on the console. kestrand --version prints
the version. README.md (sections Usage, Using kestrand from a host, Inputs
other than WAV) says more.
)";

constexpr std::string_view kJobHelp =
    R"(Usage: kestrandjob -af FILE [-key=value ...]
       kestrandjob -as [-key=value ...]           (parameters on standard input)
       kestrandjob VOICEFILE OUTFILE [LENGTH TONE VOLUME MODULATION GENDER BREATHY
                   ALPHA VOICEOFFSET VOICELENGTH VOICEFIXED1 VOICEFIXED2 VELOCITY1
                   VELOCITY2 REVERSE]
Renders one note described by named parameters and can mix it into a growing
output file (a song built note by note).

Positional arguments (each optional after OUTFILE, in this order):
  VOICEFILE    the voice sample
  OUTFILE      the note's WAV file (16-bit mono)
  LENGTH       note length after the lead-in, ms
  TONE         a note name (A4) or Hz
  VOLUME       percent
  MODULATION   percent of the sample's own pitch movement kept
  GENDER       formant shift
  BREATHY      breathiness, percent
  ALPHA        breath tilt, percent
  VOICEOFFSET, VOICELENGTH, VOICEFIXED1, VOICEFIXED2  the region of the sample, ms
  VELOCITY1, VELOCITY2  consonant and tail velocity, percent
  REVERSE      1 renders the region backwards

Options:
  -af FILE     read key=value lines (UTF-8) from FILE; lines without "=" are skipped
  -as          read key=value lines from standard input
  -key=value, -key:value, -key value   set one parameter; later settings win
Useful keys: voicefile, outfile, targetfile, cachefile, tone, length, fileoffset,
overlap, endpos, velocity, gender, breathy, flags, pitchbend, envelope.

Environment:
  OUTPUT_SAMPLES_PER_SEC  sample rate of the note (default 44100)
  flacpath, lamepath, oggdecpath, faadpath, nerodecpath, webgetpath, loadmodule
                          as for kestrand

The program exits with 0. README.md (section kestrandjob) says more;
examples/ has job files.
)";

constexpr std::string_view kPitchHelp =
    R"(Usage: kestrandpitch encode MODE ORDER          (numbers on standard input)
       kestrandpitch decode MODE ORDER TEXT
Turns pitch values (cents, one per 1/96 beat) into a pitch text and back.

Positional arguments:
  encode|decode  the direction
  MODE           std (the host's standard text), enc, cmp or hff
  ORDER          the order of differencing, 0 to 3 (not used by std, but given)
  TEXT           the pitch text to decode

Exit status: 0 done, 1 a bad input number, 2 wrong usage. No environment
variables are read. README.md (section kestrandpitch) says more.
)";

constexpr std::string_view kFrqHelp =
    R"(Usage: kestrandfrq [OPTIONS] FOLDER...
Builds the frequency lists of every sample under the folders (recursively) that
needs one: whose list is missing, older than the sample, or does not fit it.
The lists are byte for byte those that "kestrand SAMPLE nul A4 100 G" writes.

Positional arguments:
  FOLDER       a voice folder (or a single sample); several may be given

Options:
  --rebuild        analyse every sample, whatever its list
  --check          analyse nothing: judge and report the stored lists only
  --report FILE    write an HTML page with every sample's amplitude and pitch
                   contour, the suspicious lists first
  --jobs N         samples analysed at once (default: one per processor)
  --help, --version

Samples: .wav, .aif and .aiff; .flac, .mp3, .ogg, .aac and .m4a when their
decoder variable is set.

Environment:
  flacpath, lamepath, oggdecpath, faadpath, nerodecpath  decoder programs

Exit status: 0 when every sample has a good list, 1 when any failed, 2 wrong
usage, 130 when interrupted (Ctrl-C; finished lists are kept, no list is left
half written). README.md (section kestrandfrq) says more.
)";

std::string_view programName(ProgramKind program) {
    switch (program) {
        case ProgramKind::Note: return "kestrand";
        case ProgramKind::Job: return "kestrandjob";
        case ProgramKind::Pitch: return "kestrandpitch";
        case ProgramKind::Frq: return "kestrandfrq";
    }
    return "kestrand";
}

}  // namespace

std::string vectorPathInUse() { return std::string(vectorPathName()); }

std::string versionText(ProgramKind program) {
    return std::string(programName(program)) + " " + KESTRAND_VERSION + " (" +
           std::to_string(static_cast<int>(sizeof(void*) * 8)) + "-bit, vector path " + vectorPathInUse() + ")\n";
}

std::string_view helpText(ProgramKind program) {
    switch (program) {
        case ProgramKind::Note: return kNoteHelp;
        case ProgramKind::Job: return kJobHelp;
        case ProgramKind::Pitch: return kPitchHelp;
        case ProgramKind::Frq: return kFrqHelp;
    }
    return kNoteHelp;
}

bool answerHelpOrVersion(ProgramKind program, const std::vector<std::wstring>& args) {
    if (args.size() != 2) return false;
    if (args[1] == L"--help") {
        writeOut(helpText(program));
        return true;
    }
    if (args[1] == L"--version") {
        writeOut(versionText(program));
        return true;
    }
    return false;
}

}  // namespace kestrand
