// sactab: converts one binary SAC file into a two-column text table, written
// beside it as FILE.asc.
//
// This file holds the order of the steps and every message. Each message is
// one line on standard output; the exit status is 0 after a conversion and 1
// after any message.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "ascii/number_format.hpp"
#include "ascii/table.hpp"
#include "platform/platform.hpp"
#include "sac/byte_order.hpp"
#include "sac/sac_file.hpp"

using namespace sactab;


namespace {

constexpr const char* usage =
    "Usage: sactab [-p | --precise] [--header] [--] FILE [BYTEORDER]\n"
    "  or:  sactab -m [-p | --precise] [--header] [--] FILE...\n"
    "Convert the binary SAC seismogram FILE into a text table, FILE.asc, beside it:\n"
    "one line per sample, holding the time (or the file's own x value) and the sample.\n"
    "\n"
    "  BYTEORDER      1 (the default) if FILE is little-endian, 0 if it is big-endian;\n"
    "                 on a big-endian host every file is read big-endian\n"
    "  -m, --many     convert every FILE, each in the byte order its header says\n"
    "  -p, --precise  nine significant digits in both columns, which keep every sample\n"
    "                 (more in the time column where its lines need them)\n"
    "  --header       comment lines (\"# key: value\") before the table: the station,\n"
    "                 reference and start time, sampling, position and units\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the version and exit\n"
    "\n"
    "Prints nothing and exits with 0 on success; otherwise prints one line for each\n"
    "file that failed and exits with 1, leaving its earlier FILE.asc as it was.\n"
    "Options come before FILE; \"--\" ends them. Without -p, a recording whose\n"
    "samples or times the default columns cannot tell apart is refused, with the\n"
    "command that converts it. A write-protected FILE.asc is refused, unless run\n"
    "as root, which replaces it and keeps its mode.\n"
    "See sactab(1) for the details.";

// --help and --version count only as the one argument, so every other command
// line keeps its meaning (a file named --help converts as ./--help).
// The text asked for, or nullptr.
const char* help_or_version(int argc, char* argv[])
{
    if (argc != 2) return nullptr;
    const std::string argument = argv[1];
    if (argument == "--help" || argument == "-h") return usage;
    if (argument == "--version") return "sactab " SACTAB_VERSION;
    return nullptr;
}

// Exit status 1 when the text could not be written (a full disk, /dev/full).
int answer(const char* text)
{
    return std::puts(text) >= 0 && std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}

// Each line is written whole at once, so the lines of runs that share one
// output (xargs -P, a job's log) never mix.
void say(const std::string& line)
{
    std::puts(line.c_str());
    std::fflush(stdout);
}

void fail(const std::string& what)
{
    say(what + ". Exiting...");
}

// The length of the well-formed UTF-8 character that starts `text` (not
// empty), or 0 where its first byte starts none.
std::size_t utf8_character_length(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    // No overlong forms, surrogates or code points past U+10FFFF; and the
    // C1 controls (U+0080 to U+009F), which terminals obey as commands, are
    // taken as bytes to escape too.
    const bool outOfRange = (lead == 0xC2 && byte(1) < 0xA0) || (lead == 0xE0 && byte(1) < 0xA0) ||
                            (lead == 0xED && byte(1) > 0x9F) || (lead == 0xF0 && byte(1) < 0x90) ||
                            (lead == 0xF4 && byte(1) > 0x8F);
    return outOfRange ? 0 : length;
}

bool is_control(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

// Bytes that would break the message's one line or reach the terminal as
// commands (the C0 controls and DEL), or that are no UTF-8, which a
// terminal shows as another character and a pasted command cannot give back.
bool needs_escapes(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_character_length(text.substr(i));
        if (length == 0 || is_control(static_cast<unsigned char>(text[i]))) return true;
        i += length;
    }
    return false;
}

// The $'...' form of bash, zsh and ksh, as GNU tools quote such names: an
// octal escape always has three digits, so a digit after it stays a digit.
std::string ansi_c_quoted(std::string_view text)
{
    constexpr std::string_view controls = "\a\b\t\n\v\f\r";
    constexpr std::string_view letters = "abtnvfr";
    std::string quoted = "$'";
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const std::size_t length = utf8_character_length(text.substr(i));
        const std::size_t named = controls.find(c);
        if (c == '\\' || c == '\'') {
            quoted += {'\\', c};
        } else if (named != std::string_view::npos) {
            quoted += {'\\', letters[named]};
        } else if (length == 0 || is_control(static_cast<unsigned char>(c))) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned>(static_cast<unsigned char>(c)));
            quoted += octal;
        } else {
            quoted += text.substr(i, length);
        }
        i += std::max<std::size_t>(length, 1);
    }
    return quoted + "'";
}

// A name or argument as a message shows it: as it is, unless it holds
// control characters, which could split the line or pose as another
// message, or bytes that are no UTF-8.
std::string shown(std::string_view text)
{
    return needs_escapes(text) ? ansi_c_quoted(text) : std::string(text);
}

// The path as a shell takes it back, so a suggested command can be pasted:
// as it is when it holds only safe characters (bytes past ASCII are letters
// of UTF-8 names), otherwise quoted. cmd and PowerShell read double quotes,
// which a Windows name cannot hold; POSIX shells read single quotes.
std::string shell_quoted(std::string_view path)
{
    const char* safeMarks = doubleQuotingShell ? "\\/._-+:@" : "/._-+,:@%";
    const auto safe = [&](unsigned char c) { return std::isalnum(c) != 0 || c >= 0x80 || std::strchr(safeMarks, c) != nullptr; };
    const bool escaped = needs_escapes(path);
    if (!path.empty() && !escaped && std::all_of(path.begin(), path.end(), safe)) return std::string(path);
    if (doubleQuotingShell) return "\"" + std::string(path) + "\"";
    if (escaped) return ansi_c_quoted(path);
    std::string quoted = "'";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Words that are options wherever they stand before FILE.
bool is_any_option(const char* argument)
{
    for (const char* option : {"-p", "--precise", "-m", "--many", "--header", "-h", "--help", "--version"})
        if (std::strcmp(argument, option) == 0) return true;
    return false;
}

// The byte-order argument, with the rules of atoi: blanks, a sign, digits.
// Values beyond int's range, where atoi is undefined, count as invalid; an
// option in its place was meant as one ("sactab x.sac -p"), not as 0.
bool parse_byte_order(const char* argument, std::int32_t& byteOrderMode)
{
    if (is_any_option(argument)) {
        fail("Option " + std::string(argument) + " After FILE: options come before FILE, as in sactab " + argument + " FILE");
        return false;
    }
    errno = 0;
    const long value = std::strtol(argument, nullptr, 10);
    if (errno == ERANGE || (value != 0 && value != 1)) {
        fail("Invalid Byte Order " + shown(argument) +
             ": use 1 for a little-endian file or 0 for a big-endian file");
        return false;
    }
    byteOrderMode = static_cast<std::int32_t>(value);
    return true;
}

// 1 = -p: both columns with nine significant digits.
std::int32_t preciseFlag = 0;

// 1 = -m: every argument after the options is a FILE, each read in the byte
// order its header says.
std::int32_t manyFlag = 0;

// 1 = --header: comment lines before each table.
std::int32_t headerFlag = 0;

// The byte-order mode of -m: not the user's choice but the header's.
constexpr std::int32_t byteOrderFromHeader = -1;

bool is_option(const char* argument, const char* shortName, const char* longName)
{
    return std::strcmp(argument, shortName) == 0 || std::strcmp(argument, longName) == 0;
}

// [-m | --many] [-p | --precise] [--header] [--] FILE...: an option counts once, and
// only when a FILE follows it, so that "sactab -p" still converts a file
// named -p, and "sactab -p -p 1" one named -p, read as little-endian.
// Returns the position of the first FILE.
int take_options(int argc, char* argv[])
{
    int first = 1;
    for (; argc > first + 1; ++first) {
        if (preciseFlag == 0 && is_option(argv[first], "-p", "--precise"))
            preciseFlag = 1;
        else if (manyFlag == 0 && is_option(argv[first], "-m", "--many"))
            manyFlag = 1;
        else if (headerFlag == 0 && std::strcmp(argv[first], "--header") == 0)
            headerFlag = 1;
        else
            break;
    }
    if (argc > first + 1 && std::strcmp(argv[first], "--") == 0) ++first;
    return first;
}

// `argc` counts FILE and what follows it, plus one, as if no option stood
// before FILE.
bool check_arguments(int argc, char* argv[], std::int32_t& byteOrderMode)
{
    if (argc < 2) {
        say("Insufficient Parameters. Exiting...");
        return false;
    }
    if (argc > 3) {
        say("Too Many Parameters. Exiting...");
        return false;
    }
    byteOrderMode = 1;
    return argc == 2 || parse_byte_order(argv[2], byteOrderMode);
}

// A path as the last arguments of a command: quoted, and after "--" where it
// could pass for an option.
std::string file_argument(std::string_view path)
{
    return (path.starts_with("-") ? "-- " : "") + shell_quoted(path);
}

// The command that converts the file, to paste: its options, the path (after
// "--" where it could pass for an option) and the byte-order argument when one
// is needed ("0" or "1"; empty: none). Under -m, -m again, which finds the
// byte order whatever the host.
std::string suggested_command(const char* path, bool precise, const std::string& byteOrder)
{
    const std::string command = std::string("sactab ") + (manyFlag == 1 ? "-m " : "") + (precise ? "-p " : "") + file_argument(path);
    return byteOrder.empty() ? command : command + " " + byteOrder;
}

// The argument that reads the file as this run did, where one is needed
// (never under -m).
std::string byte_order_argument(std::int32_t byteOrderMode)
{
    return byteOrderMode == 0 && endian_check() == 0 ? "0" : "";
}

// The file makes sense only in the other byte order: say so first, with the
// command that converts it.
std::string wrong_byte_order(const char* path, std::int32_t byteOrderMode)
{
    const std::string start = "Wrong Byte Order in " + shown(path) + ": ";
    const bool precise = preciseFlag == 1;
    if (endian_check() == 1) return start + "the file looks little-endian, which this host does not read";
    if (byteOrderMode == 1) return start + "it reads as a big-endian SAC file; run: " + suggested_command(path, precise, "0");
    return start + "it reads as a little-endian SAC file; run: " + suggested_command(path, precise, "1");
}

// A step as people write it ("%g": 0.005, 0.02).
std::string short_text(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A header value with every digit its float holds ("%.9g": 0.00999999978,
// -12345.001, nan), so that none passes for -12345, SAC's "undefined".
std::string header_value_text(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string exponent_text(double value)
{
    char text[maxExponentChars + 8];
    return {text, format_exponent(text, value)};
}

// The default columns would lose the data; -p keeps it. Times that are the
// same even as doubles no digits can tell apart.
void report_lost_digits(const TableResult& result, const char* path, std::int32_t byteOrderMode)
{
    const std::string run = "; run: " + suggested_command(path, true, byte_order_argument(byteOrderMode));
    const std::string lines = " on, lines " + short_text(std::fabs(result.repeatedStep)) + " s apart ";
    if (result.end == LoopEnd::times_repeat && preciseFlag == 1) {
        fail("Times Too Close in " + shown(path) + ": from " + exponent_text(result.repeatedTime) + lines +
             "are the same time even in double precision");
    } else if (result.end == LoopEnd::times_repeat) {
        fail("Times Too Close for Seven Digits in " + shown(path) + ": from " + exponent_text(result.repeatedTime) + lines +
             "print the same time" + run);
    } else {
        fail("Samples Too Small for Six Decimals in " + shown(path) + ": the largest is " +
             exponent_text(static_cast<double>(result.largestSample)) + run);
    }
}

// A compressed file: which compression, and a command that undoes it beside
// the file and converts what it gives. A name with the compression's own
// suffix loses it; any other name gains ".unpacked".
std::string compressed(const char* path, HeaderCheck check, std::int32_t byteOrderMode)
{
    const auto [tool, decompress, suffix] = check == HeaderCheck::gzip    ? std::tuple{"gzip", "gunzip", ".gz"}
                                            : check == HeaderCheck::bzip2 ? std::tuple{"bzip2", "bunzip2", ".bz2"}
                                            : check == HeaderCheck::xz    ? std::tuple{"xz", "unxz", ".xz"}
                                                                          : std::tuple{"zstd", "unzstd", ".zst"};
    const std::string name = path;
    const std::size_t stem = name.size() - std::strlen(suffix);
    const bool suffixed = name.size() > std::strlen(suffix) && name.ends_with(suffix) && name[stem - 1] != '/';
    const std::string unpacked = suffixed ? name.substr(0, stem) : name + ".unpacked";
    const std::string undo = std::string(decompress) + (suffixed ? " -k " + file_argument(name)
                                                                 : " -c " + file_argument(name) + " > " + shell_quoted(unpacked));
    return "Not a Binary SAC File " + shown(path) + ": it is compressed with " + tool +
           "; decompress it first, for example with " + undo + " && " +
           suggested_command(unpacked.c_str(), preciseFlag == 1, byte_order_argument(byteOrderMode));
}

// Why a file cannot be converted, as the judgement of its header says;
// `bytesFound` is what the input held (of a short header, its bytes).
void report_header_mismatch(HeaderCheck check, const char* path, std::uint64_t bytesFound, std::int32_t byteOrderMode)
{
    const std::string file = shown(path);
    switch (check) {
    case HeaderCheck::usable:
        break;
    case HeaderCheck::incomplete:
        fail("Incomplete SAC Header in " + file + ": expected " + std::to_string(headerBytes) + " bytes, found " +
             std::to_string(bytesFound));
        break;
    case HeaderCheck::too_short:
        fail("Truncated SAC File " + file + ": expected " + std::to_string(declared_file_bytes()) + " bytes, found " +
             std::to_string(bytesFound));
        break;
    case HeaderCheck::negative_count:
        fail("Negative Sample Count " + std::to_string(SACNPTS) + " in " + file);
        break;
    case HeaderCheck::other_byte_order:
        fail(wrong_byte_order(path, byteOrderMode));
        break;
    case HeaderCheck::text:
        fail("Not a Binary SAC File " + file + ": it holds text, as a SAC alphanumeric file or a table does");
        break;
    case HeaderCheck::gzip:
    case HeaderCheck::bzip2:
    case HeaderCheck::xz:
    case HeaderCheck::zstd:
        fail(compressed(path, check, byteOrderMode));
        break;
    case HeaderCheck::miniseed:
        fail("Not a Binary SAC File " + file + ": it holds miniSEED records, which must be converted to SAC first");
        break;
    case HeaderCheck::seed:
        fail("Not a Binary SAC File " + file + ": it is a SEED volume, which must be converted to SAC first");
        break;
    case HeaderCheck::unknown_version:
        fail("Not a Binary SAC File " + file + ": its header version (word 76) is " + std::to_string(header_version()) +
             ", not 6 or 7, in either byte order");
        break;
    case HeaderCheck::invalid_interval:
        fail("Invalid Sample Interval in " + file + ": DELTA is " + header_value_text(DELTA) +
             ", not a positive number of seconds");
        break;
    case HeaderCheck::invalid_begin:
        fail("Invalid Begin Time in " + file + ": B is " + header_value_text(B) + ", not a number of seconds");
        break;
    case HeaderCheck::apple_double:
        fail("Not a Binary SAC File " + file + ": it is macOS metadata (an AppleDouble file), not a recording");
        break;
    }
}

void report_unwritable()
{
    const char* reason = std::strerror(errno);
    fail("Cannot Write Output File " + shown(ascFileName) + ": " + reason);
}

void report_unreadable(const char* path)
{
    const char* reason = std::strerror(errno);
    fail("Cannot Read SAC File " + shown(path) + ": " + reason);
}

// Reads the header and judges it, once, against the file's size before any
// output exists (a stream's size is taken to fit; its end is found by the
// loop). Under -m a header that makes sense only in the other byte order
// is read in that order.
bool read_checked_header(std::FILE* input, const char* path, std::int32_t byteOrderMode)
{
    const std::uint64_t fileBytes = file_size(input);
    const std::size_t got = read_header(input);
    HeaderCheck check = check_header(got, fileBytes);
    if (check == HeaderCheck::other_byte_order && byteOrderMode == byteOrderFromHeader) {
        reread_header_in_other_byte_order();
        check = check_header(got, fileBytes);
    }
    if (check == HeaderCheck::usable) return true;
    if (check == HeaderCheck::incomplete && std::ferror(input) != 0)
        report_unreadable(path);
    else
        report_header_mismatch(check, path, check == HeaderCheck::incomplete ? got : fileBytes, byteOrderMode);
    return false;
}

void report_loop_end(const TableResult& result, std::FILE* input, const char* path, std::int32_t byteOrderMode)
{
    if (result.end == LoopEnd::times_repeat) {
        report_lost_digits(result, path, byteOrderMode);
    } else if (result.end == LoopEnd::write_failed) {
        report_unwritable();
    } else if (result.end == LoopEnd::no_memory) {
        fail("Not Enough Memory for " + std::to_string(SACNPTS) + " Samples of " + shown(path));
    } else if (std::ferror(input) != 0) {
        report_unreadable(path);
    } else {
        // The input ended early: a stream, whose size is known only now,
        // or a file cut short while it was read.
        report_header_mismatch(HeaderCheck::too_short, path, result.bytesRead, byteOrderMode);
    }
}

// The temporary output of the table, or nullptr once the reason is said. A
// table whose path is the input itself (a recording named x.asc reached
// through a link named x) would replace the recording: refused.
std::FILE* open_table(std::FILE* input, const char* path)
{
    const bool named = make_output_name(path);
    const bool isInput = named && is_same_file(input, ascFileName);
    std::FILE* output = named && !isInput ? open_output(ascFileName) : nullptr;
    if (output == nullptr) {
        const std::string reason = isInput ? "it is the input file itself" : std::strerror(errno);
        fail("Cannot Create Output File " + shown(std::string(path) + ".asc") + ": " + reason);
    }
    return output;
}

// The conversion of an open input, from its header to the table in place.
int convert_input(std::FILE* input, const char* path, std::int32_t byteOrderMode)
{
    set_byte_swap(byteOrderMode == byteOrderFromHeader ? 1 : byteOrderMode);
    if (!read_checked_header(input, path, byteOrderMode)) return EXIT_FAILURE;

    std::FILE* output = open_table(input, path);
    if (output == nullptr) return EXIT_FAILURE;
    const TableHeader header{shown(path), headerFlag == 1 ? read_recording_facts() : RecordingFacts{}};
    const TableHeader* const comments = headerFlag == 1 ? &header : nullptr;
    const bool precise = preciseFlag == 1;
    const TableResult result = is_unevenly_spaced() ? write_unevenly_spaced(input, output, precise, physical_memory_bytes(), comments)
                                                    : write_evenly_spaced(input, output, precise, comments);
    if (result.end != LoopEnd::complete) {
        const int loopError = errno;
        discard_output(output);
        errno = loopError;
        report_loop_end(result, input, path, byteOrderMode);
        return EXIT_FAILURE;
    }
    if (preciseFlag != 1 && samples_too_small(result.largestSample)) {
        discard_output(output);
        report_lost_digits(result, path, byteOrderMode);
        return EXIT_FAILURE;
    }
    if (!commit_output(output)) {
        report_unwritable();
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}

int convert(const char* path, std::int32_t byteOrderMode)
{
    std::FILE* input = std::fopen(path, "rb");
    if (input == nullptr) {
        const char* reason = std::strerror(errno);
        if (manyFlag == 1)
            fail("Cannot Open SAC File " + shown(path) + ": " + reason);
        else
            say("Empty SAC File Found. ");
        return EXIT_FAILURE;
    }
    // A buffer of our own, one page: no allocation and no fstat for stdio to
    // size one. Data blocks larger than it are read straight into place.
    static char inputBuffer[4096];
    std::setvbuf(input, inputBuffer, _IOFBF, sizeof inputBuffer);
    const int status = convert_input(input, path, byteOrderMode);
    std::fclose(input);
    return status;
}

// -m: each file on its own, every one tried whatever became of the others.
int convert_each(int count, char* paths[])
{
    int status = EXIT_SUCCESS;
    for (int i = 0; i < count; ++i)
        for (const std::string& path : files_named_by(paths[i]))
            if (convert(path.c_str(), byteOrderFromHeader) != EXIT_SUCCESS) status = EXIT_FAILURE;
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    use_line_feeds_on_standard_output();
    if (const char* text = help_or_version(argc, argv)) return answer(text);
    const int file = take_options(argc, argv);
    if (manyFlag == 1) return convert_each(argc - file, argv + file);
    std::int32_t byteOrderMode = 1;
    if (!check_arguments(argc - file + 1, argv + file - 1, byteOrderMode)) return EXIT_FAILURE;
    return convert(argv[file], byteOrderMode);
}
