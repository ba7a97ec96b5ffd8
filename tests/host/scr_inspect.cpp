// Checks a built velmora.scr without running it: a GUI-subsystem PE for the
// expected machine, importing only the system DLLs the saver may use and none
// of its optional functions, with the string, icon groups and manifest that
// the system reads. The 32-bit file must also load on Windows 95 OSR2, 98
// and NT 4.0: every function it imports must be exported by each, and no
// instruction in it may need more than a Pentium Pro (x87, no MMX or SSE).
// Portable C++, compiled with the host compiler, so that it also checks the
// 32-bit saver, which cannot run here.
//
// Usage: scr_inspect FILE x64
//        scr_inspect FILE x86 --exports LIST --objdump OBJDUMP [--only imports|x87]
// --only runs that one check, so that a test can show it fails by itself.
// Prints every failed check and exits 1 when there is one; 2 on a bad command line.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    if (!ok)
        ++failures;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

class pe_file {
public:
    explicit pe_file(std::vector<std::uint8_t> contents) : bytes(std::move(contents)) {}

    bool in_range(std::uint64_t offset, std::uint64_t size) const
    {
        return offset <= bytes.size() && size <= bytes.size() - offset;
    }
    std::uint32_t u8(std::uint64_t offset) const { return in_range(offset, 1) ? bytes[offset] : 0; }
    std::uint32_t u16(std::uint64_t offset) const { return u8(offset) | u8(offset + 1) << 8; }
    std::uint32_t u32(std::uint64_t offset) const { return u16(offset) | u16(offset + 2) << 16; }
    std::uint64_t u64(std::uint64_t offset) const
    {
        return u32(offset) | static_cast<std::uint64_t>(u32(offset + 4)) << 32;
    }

    // Reads the headers; false when this is no PE file.
    bool parse()
    {
        if (!in_range(0, 0x40) || u16(0) != 0x5A4D)
            return false;
        pe = u32(0x3C);
        if (!in_range(pe, 24) || u32(pe) != 0x00004550)
            return false;
        machine = u16(pe + 4);
        const std::uint32_t section_count = u16(pe + 6);
        const std::uint32_t optional_size = u16(pe + 20);
        optional = pe + 24;
        magic = u16(optional);
        subsystem = u16(optional + 68);
        const std::uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
        import_rva = u32(directories + 8);
        resource_rva = u32(directories + 16);
        const std::uint64_t table = optional + optional_size;
        for (std::uint32_t i = 0; i < section_count; ++i) {
            const std::uint64_t s = table + 40ull * i;
            sections.push_back({u32(s + 12), std::max(u32(s + 8), u32(s + 16)), u32(s + 20)});
        }
        return true;
    }

    // File offset of a relative virtual address, or 0 when none maps it.
    std::uint64_t offset_of(std::uint32_t rva) const
    {
        for (const section& s : sections)
            if (rva >= s.address && rva - s.address < s.size)
                return static_cast<std::uint64_t>(s.file_offset) + (rva - s.address);
        return 0;
    }

    std::string text_at(std::uint64_t offset) const
    {
        std::string text;
        while (in_range(offset, 1) && bytes[offset] != 0 && text.size() < 512)
            text += static_cast<char>(bytes[offset++]);
        return text;
    }

    struct import {
        std::string library;
        std::vector<std::string> functions;
    };

    std::vector<import> imports() const
    {
        std::vector<import> found;
        const std::uint64_t table = offset_of(import_rva);
        if (import_rva == 0 || table == 0)
            return found;
        for (std::uint64_t entry = table; in_range(entry, 20) && u32(entry + 12) != 0 && found.size() < 256;
             entry += 20) {
import library{text_at(offset_of(u32(entry + 12))), {} };
            const std::uint32_t thunks = u32(entry) != 0 ? u32(entry) : u32(entry + 16);
            const bool wide = magic == 0x20B;
            for (std::uint64_t thunk = offset_of(thunks); thunk != 0 && library.functions.size() < 4096;
                 thunk += wide ? 8 : 4) {
                const std::uint64_t value = wide ? u64(thunk) : u32(thunk);
                if (value == 0)
                    break;
                const bool by_ordinal = wide ? (value >> 63) != 0 : (value >> 31) != 0;
                library.functions.push_back(by_ordinal ? "#" + std::to_string(value & 0xFFFF)
                                                       : text_at(offset_of(static_cast<std::uint32_t>(value)) + 2));
            }
            found.push_back(library);
        }
        return found;
    }

    struct resource {
        std::uint32_t type;
        std::uint32_t id;
        std::uint32_t language;
        std::uint64_t offset;
        std::uint32_t size;
    };

    // Every resource with numeric type and identifier (named ones are
    // listed with identifier 0xFFFFFFFF).
    std::vector<resource> resources() const
    {
        std::vector<resource> found;
        const std::uint64_t root = offset_of(resource_rva);
        if (resource_rva == 0 || root == 0)
            return found;
        auto entries = [&](std::uint64_t directory) {
            std::vector<std::pair<std::uint32_t, std::uint32_t>> list;
            const std::uint32_t count = u16(directory + 12) + u16(directory + 14);
            for (std::uint32_t i = 0; i < count && i < 4096; ++i) {
                const std::uint64_t e = directory + 16 + 8ull * i;
                const std::uint32_t name = u32(e);
                list.push_back({(name & 0x80000000u) != 0 ? 0xFFFFFFFFu : name, u32(e + 4)});
            }
            return list;
        };
        for (const auto& [type, type_link] : entries(root)) {
            if ((type_link & 0x80000000u) == 0)
                continue;
            for (const auto& [id, id_link] : entries(root + (type_link & 0x7FFFFFFFu))) {
                if ((id_link & 0x80000000u) == 0)
                    continue;
                for (const auto& [language, data_link] : entries(root + (id_link & 0x7FFFFFFFu))) {
                    if ((data_link & 0x80000000u) != 0)
                        continue;
                    const std::uint64_t data = root + data_link;
                    found.push_back({type, id, language, offset_of(u32(data)), u32(data + 4)});
                }
            }
        }
        return found;
    }

    std::vector<std::uint8_t> bytes;
    std::uint64_t pe = 0;
    std::uint64_t optional = 0;
    std::uint32_t machine = 0;
    std::uint32_t magic = 0;
    std::uint32_t subsystem = 0;
    std::uint32_t import_rva = 0;
    std::uint32_t resource_rva = 0;

private:
    struct section {
        std::uint32_t address;
        std::uint32_t size;
        std::uint32_t file_offset;
    };
    std::vector<section> sections;
};

constexpr std::uint32_t rt_icon = 3;
constexpr std::uint32_t rt_dialog = 5;
constexpr std::uint32_t rt_string = 6;
constexpr std::uint32_t rt_group_icon = 14;
constexpr std::uint32_t rt_manifest = 24;
constexpr std::uint32_t english_united_states = 0x409;

const pe_file::resource* find_resource(const std::vector<pe_file::resource>& all, std::uint32_t type, std::uint32_t id)
{
    for (const auto& r : all)
        if (r.type == type && r.id == id)
            return &r;
    return nullptr;
}

void check_imports(const pe_file& file)
{
    const std::set<std::string> allowed = {"kernel32.dll", "user32.dll",   "gdi32.dll", "advapi32.dll",
                                           "comctl32.dll", "opengl32.dll", "glu32.dll", "msvcrt.dll"};
    const std::set<std::string> looked_up = {"HeapSetInformation", "VerifyScreenSavePwd", "PwdChangePasswordA",
                                             "ImmAssociateContext", "InitCommonControlsEx"};
    const auto imports = file.imports();
    check(!imports.empty(), "the import table lists libraries");
    std::set<std::string> libraries;
    for (const auto& library : imports) {
        libraries.insert(lower(library.library));
        check(allowed.count(lower(library.library)) != 0, "imports only system DLLs: " + library.library);
        for (const auto& function : library.functions)
            if (looked_up.count(function) != 0)
                check(false, function + " is looked up at run time, not imported");
    }
    for (const char* needed : {"opengl32.dll", "glu32.dll", "comctl32.dll", "advapi32.dll"})
        check(libraries.count(needed) != 0, std::string("imports ") + needed);
}

// The old systems the 32-bit file must load on, and what each exports: per
// DLL (lower case), per function, the systems that lack it.
struct export_list {
    std::vector<std::pair<std::string, std::string>> systems;  // key, name
    std::map<std::string, std::map<std::string, std::set<std::string>>> lacking;
};

// Reads the export list: "system KEY = NAME" lines name the systems, "[DLL]"
// lines open a section, every other line names one function of that DLL that
// every system exports, but those listed after it as "!KEY"; "#" starts a
// comment. Any other line fails the check rather than being skipped, so that
// a typo cannot widen the list.
bool read_export_list(const std::string& path, export_list& list)
{
    std::ifstream in(path);
    if (!in) {
        check(false, "the export list can be read: " + path);
        return false;
    }
    std::string line;
    std::string section;
    for (int number = 1; std::getline(in, line); ++number) {
        line.erase(std::min(line.find('#'), line.size()));
        std::istringstream words(line);
        std::vector<std::string> word((std::istream_iterator<std::string>(words)),
                                      std::istream_iterator<std::string>());
        if (word.empty())
            continue;
        const std::string& first = word.front();
        bool usable = true;
        if (first == "system") {
            usable = section.empty() && word.size() >= 4 && word[2] == "=";
            std::string name;
            for (std::size_t i = 3; usable && i < word.size(); ++i)
                name += (i > 3 ? " " : "") + word[i];
            if (usable)
                list.systems.push_back({word[1], name});
        } else if (first.size() > 2 && first.front() == '[' && first.back() == ']' && word.size() == 1) {
            section = lower(first.substr(1, first.size() - 2));
            list.lacking[section];
        } else {
            usable = !section.empty() && first.find_first_of("[]!") == std::string::npos;
            std::set<std::string>& lacking = list.lacking[section][first];
            for (std::size_t i = 1; usable && i < word.size(); ++i) {
                const std::string key = word[i].substr(1);
                usable = word[i].front() == '!' &&
                         std::any_of(list.systems.begin(), list.systems.end(),
                                     [&](const auto& system) { return system.first == key; }) &&
                         lacking.insert(key).second && lacking.size() < list.systems.size();
            }
        }
        if (!usable) {
            check(false, path + ":" + std::to_string(number) +
                             ": a system line before any [DLL], or a function name inside a [DLL] section, "
                             "followed by some but not all of the systems' keys as !KEY");
            return false;
        }
    }
    check(!list.systems.empty() && !list.lacking.empty(), "the export list names systems and DLLs: " + path);
    return !list.systems.empty() && !list.lacking.empty();
}

void check_old_windows_imports(const pe_file& file, const export_list& list)
{
    std::string all_systems;
    for (const auto& system : list.systems)
        all_systems += (all_systems.empty() ? "" : ", ") + system.second;
    int imported = 0;
    int missing = 0;
    for (const auto& library : file.imports()) {
        const auto exports = list.lacking.find(lower(library.library));
        for (const auto& function : library.functions) {
            ++imported;
            if (function.front() == '#') {
                ++missing;
                check(false, library.library + " " + function + " is imported by ordinal");
                continue;
            }
            std::string lacking;
            for (const auto& system : list.systems) {
                const bool known = exports != list.lacking.end() && exports->second.count(function) != 0;
                if (!known || exports->second.at(function).count(system.first) != 0)
                    lacking += (lacking.empty() ? "" : ", ") + system.second;
            }
            if (lacking.empty())
                continue;
            ++missing;
            check(false, library.library + " " + function + " is not exported by " + lacking);
        }
    }
    check(imported > 0 && missing == 0, "every imported function is exported by " + all_systems + " (" +
                                            std::to_string(missing) + " of " + std::to_string(imported) + " are not)");
}

// The processor floor of the 32-bit file: the i686 (Pentium Pro) with its
// x87 unit. Windows 95, 98 first edition and NT 4.0 save no MMX or SSE state
// across task switches, and processors of that class may have neither.
const char* const processor_floor = "the i686 (Pentium Pro) floor: x87 only, no MMX, SSE or later";

// Whether an instruction, as objdump prints it (AT&T syntax, prefixes
// removed), needs more than a Pentium Pro. Every use of the MMX, SSE or AVX
// registers does; so do the instructions of those extensions and of later
// processors that name none (3DNow!, the cache and fence instructions, the
// Pentium II's fxsave and sysenter, ...). cmov, fcmov, fcomi and fucomi are
// the Pentium Pro's own. Operands decide for the register sets: movsd and
// cmpsd without %xmm are the string instructions of the 386.
bool above_i686(const std::string& mnemonic, const std::string& operands)
{
    static const std::set<std::string> later_without_registers = {
        // MMX, SSE and 3DNow! state and cache control.
        "emms", "femms", "ldmxcsr", "stmxcsr", "sfence", "lfence", "mfence", "clflush", "clflushopt", "clwb",
        "prefetch", "prefetchw", "prefetchnta", "prefetcht0", "prefetcht1", "prefetcht2", "maskmovq", "movnti",
        // Pentium II and later system instructions.
        "fxsave", "fxrstor", "sysenter", "sysexit", "syscall", "sysret", "xgetbv", "rdtscp", "rdrand", "rdseed",
        "monitor", "mwait",
        // Later integer instructions (not tzcnt: GCC writes it as rep bsf,
        // which older processors run as bsf).
        "popcnt", "lzcnt", "crc32", "movbe", "andn", "bextr", "blsi", "blsmsk", "blsr", "bzhi", "pdep", "pext", "mulx",
        "rorx", "sarx", "shlx", "shrx", "adcx", "adox"};
    // 3DNow!'s own mnemonics, which take %mm registers anyway.
    static const std::set<std::string> three_dnow = {"pavgusb", "pmulhrw", "pi2fd", "pi2fw", "pswapd"};
    for (const char* registers : {"%mm", "%xmm", "%ymm", "%zmm", "%k"})
        if (operands.find(registers) != std::string::npos)
            return true;
    // AVX's VEX forms all begin with v; verr and verw are the 286's.
    if (mnemonic.front() == 'v' && mnemonic != "verr" && mnemonic != "verw")
        return true;
    // objdump may add a size suffix: popcntl, crc32b, fxsavel.
    const std::string unsuffixed =
        std::string("bwlq").find(mnemonic.back()) != std::string::npos ? mnemonic.substr(0, mnemonic.size() - 1) : "";
    return later_without_registers.count(mnemonic) != 0 || later_without_registers.count(unsuffixed) != 0 ||
           three_dnow.count(mnemonic) != 0 || mnemonic.rfind("pf", 0) == 0 || mnemonic.rfind("fisttp", 0) == 0 ||
           mnemonic.rfind("xsave", 0) == 0 || mnemonic.rfind("xrstor", 0) == 0;
}

// Code of the static runtime that the floor excuses, by objdump's label:
// libstdc++'s std::random_device comes with its exception strings and uses
// rdrand and rdseed only when cpuid reports them; the saver constructs no
// random_device. And the exception tables the linker puts in .text, which
// are data.
bool excused_label(const std::string& label)
{
    static const std::set<std::string> excused = {
        "<.text$_ZNSt12_GLOBAL__N_112__x86_rdrandEPv>", "<.text$_ZNSt12_GLOBAL__N_112__x86_rdseedEPv>",
        "<.text$_ZNSt12_GLOBAL__N_119__x86_rdseed_rdrandEPv>", "<.gcc_except_table>"};
    return excused.count(label) != 0;
}

std::string shell_quoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Disassembles the file's code with objdump and fails on every instruction
// above the processor floor, showing the first ones.
void check_instructions(const std::string& objdump, const std::string& path)
{
    const std::string command = shell_quoted(objdump) + " -d --no-show-raw-insn " + shell_quoted(path) + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    check(pipe != nullptr, "objdump runs: " + objdump);
    if (pipe == nullptr)
        return;
    static const std::set<std::string> prefixes = {"rep",    "repz",   "repe",   "repnz",   "repne", "lock",
                                                   "data16", "addr16", "addr32", "cs",      "ds",    "es",
                                                   "fs",     "gs",     "ss",     "notrack", "bnd"};
    constexpr int shown_offenders = 50;
    bool excused = false;
    int instructions = 0;
    int offenders = 0;
    std::string line;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) {
        line += chunk;
        if (line.back() != '\n' && !std::feof(pipe))
            continue;
        // A label line: "00401000 <name>:".
        const std::size_t angle = line.find(" <");
        if (angle != std::string::npos && line.compare(line.size() - 3, 3, ">:\n") == 0)
            excused = excused_label(line.substr(angle + 1, line.size() - angle - 3));
        // An instruction line: "  401000:\tmnemonic operands".
        const std::size_t colon = line.find(":\t");
        const std::size_t start = line.find_first_not_of(' ');
        if (colon != std::string::npos && start < colon && line.find_first_not_of("0123456789abcdef", start) == colon) {
            std::string text = line.substr(colon + 2);
            while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
                text.pop_back();
            std::size_t at = 0;
            std::string mnemonic;
            do {
                const std::size_t begin = text.find_first_not_of(' ', at);
                at = std::min(text.find(' ', begin), text.size());
                mnemonic = begin == std::string::npos ? "" : text.substr(begin, at - begin);
            } while (prefixes.count(mnemonic) != 0);
            if (!mnemonic.empty()) {
                ++instructions;
                if (!excused && above_i686(mnemonic, text.substr(at)) && ++offenders <= shown_offenders)
                    std::printf("%s%s%s  %s: %s\n", offenders == 1 ? "instructions above " : "",
                                offenders == 1 ? processor_floor : "", offenders == 1 ? ":\n" : "",
                                line.substr(start, colon - start).c_str(), text.c_str());
            }
        }
        line.clear();
    }
    const int status = pclose(pipe);
    check(status == 0 && instructions > 0,
          "objdump disassembles the file (" + std::to_string(instructions) + " instructions)");
    check(offenders == 0,
          "no instruction above " + std::string(processor_floor) + " (" + std::to_string(offenders) + " are" +
              (offenders > shown_offenders ? ", the first " + std::to_string(shown_offenders) + " shown above)" : ")"));
}

std::string string_resource(const pe_file& file, const pe_file::resource& block, int index)
{
    std::uint64_t at = block.offset;
    const std::uint64_t end = block.offset + block.size;
    for (int i = 0; i < 16 && at + 2 <= end; ++i) {
        const std::uint32_t length = file.u16(at);
        at += 2;
        if (i == index) {
            std::string text;
            for (std::uint32_t k = 0; k < length && at + 2 * k + 2 <= end; ++k) {
                const std::uint32_t unit = file.u16(at + 2 * k);
                text += unit < 0x80 ? static_cast<char>(unit) : '?';
            }
            return text;
        }
        at += 2ull * length;
    }
    return "";
}

void check_icon_group(const pe_file& file, const std::vector<pe_file::resource>& all, std::uint32_t group_id)
{
    const std::string name = "icon group " + std::to_string(group_id);
    const pe_file::resource* group = find_resource(all, rt_group_icon, group_id);
    check(group != nullptr, name + " exists");
    if (group == nullptr)
        return;
    const std::uint32_t count = file.u16(group->offset + 4);
    check(count == 8, name + " holds 8 images (" + std::to_string(count) + ")");
    using image = std::tuple<std::uint32_t, std::uint32_t>;  // size, bits per pixel
    std::multiset<image> images;
    for (std::uint32_t i = 0; i < count && i < 64; ++i) {
        const std::uint64_t entry = group->offset + 6 + 14ull * i;
        const std::uint32_t width = file.u8(entry) == 0 ? 256 : file.u8(entry);
        const std::uint32_t height = file.u8(entry + 1) == 0 ? 256 : file.u8(entry + 1);
        const std::uint32_t bits = file.u16(entry + 6);
        const std::uint32_t icon_id = file.u16(entry + 12);
        images.insert({width, bits});
        const pe_file::resource* icon = find_resource(all, rt_icon, icon_id);
        const std::string image_name = name + " image " + std::to_string(width) + "x" + std::to_string(height) +
                                       " at " + std::to_string(bits) + " bits";
        check(width == height, image_name + " is square");
        check(icon != nullptr && file.u32(icon->offset) == 40 && file.u32(icon->offset + 4) == width &&
                  file.u32(icon->offset + 8) == 2 * height && file.u16(icon->offset + 14) == bits,
              image_name + " is stored as such");
    }
    const std::multiset<image> expected = {{32, 4}, {16, 4}, {48, 8}, {32, 8}, {16, 8}, {48, 32}, {32, 32}, {16, 32}};
    check(images == expected, name + " holds 32 and 16 at 4 bits, 48, 32 and 16 at 8 and at 32 bits");
}

void check_resources(const pe_file& file)
{
    const auto all = file.resources();
    const pe_file::resource* strings = find_resource(all, rt_string, 1);
    check(strings != nullptr && strings->language == english_united_states,
          "string table block 1 in English (United States)");
    if (strings != nullptr) {
        const std::string description = string_resource(file, *strings, 1);
        std::printf("string 1: %s\n", description.c_str());
        check(description.rfind("Velmora", 0) == 0, "string 1 begins with Velmora");
    }
    check_icon_group(file, all, 107);
    check_icon_group(file, all, 108);
    check(find_resource(all, rt_group_icon, 100) == nullptr, "no icon 100 (the window class asks for none)");
    check(find_resource(all, rt_dialog, 2003) == nullptr, "no dialog 2003 (the saver has no settings)");
    const pe_file::resource* manifest = find_resource(all, rt_manifest, 1);
    check(manifest != nullptr, "manifest resource 24/1 exists");
    if (manifest != nullptr && file.in_range(manifest->offset, manifest->size)) {
        const std::string text(file.bytes.begin() + static_cast<std::ptrdiff_t>(manifest->offset),
                               file.bytes.begin() + static_cast<std::ptrdiff_t>(manifest->offset + manifest->size));
        check(text.find("level=\"asInvoker\"") != std::string::npos, "manifest asks for asInvoker");
        check(text.find("uiAccess=\"false\"") != std::string::npos, "manifest sets uiAccess false");
        // Real pixels on a scaled display: per-monitor v2 where Windows 10
        // 1703 and later read it, v1 or system awareness on older systems.
        const char* const dpi_settings[][2] = {
            {"<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
             "manifest declares the saver DPI-aware (true/pm)"},
            {"<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, "
             "PerMonitor</dpiAwareness>",
             "manifest declares per-monitor v2 awareness, v1 after it"},
        };
        for (const auto& setting : dpi_settings)
            check(text.find(setting[0]) != std::string::npos, setting[1]);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::map<std::string, std::string> options;
    bool usable = args.size() >= 2 && args.size() % 2 == 0 && (args[1] == "x86" || args[1] == "x64");
    for (std::size_t i = 2; usable && i + 1 < args.size(); i += 2)
        usable = (args[i] == "--exports" || args[i] == "--objdump" || args[i] == "--only") &&
                 options.emplace(args[i], args[i + 1]).second;
    const std::string only = options.count("--only") != 0 ? options["--only"] : "";
    const bool wide = usable && args[1] == "x64";
    const bool imports = !wide && only != "x87";
    const bool instructions = !wide && only != "imports";
    if (!usable || (wide && !options.empty()) || (only != "" && only != "imports" && only != "x87") ||
        (imports && options.count("--exports") == 0) || (instructions && options.count("--objdump") == 0)) {
        std::fprintf(stderr,
                     "usage: %s FILE x64\n"
                     "       %s FILE x86 --exports LIST --objdump OBJDUMP [--only imports|x87]\n",
                     argv[0], argv[0]);
        return 2;
    }
    std::ifstream in(args[0], std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    pe_file file(std::move(bytes));
    check(file.parse(), "a PE file: " + args[0]);
    if (failures != 0)
        return 1;
    if (only.empty()) {
        check(file.machine == (wide ? 0x8664u : 0x14Cu), wide ? "machine x86-64" : "machine i386");
        check(file.magic == (wide ? 0x20Bu : 0x10Bu), wide ? "PE32+" : "PE32");
        check(file.subsystem == 2, "GUI subsystem");
        check_imports(file);
        check_resources(file);
    }
    export_list exports;
    if (imports && read_export_list(options["--exports"], exports))
        check_old_windows_imports(file, exports);
    if (instructions)
        check_instructions(options["--objdump"], args[0]);
    std::printf("%s\n", failures == 0 ? "all checks passed" : "some checks failed");
    return failures == 0 ? 0 : 1;
}
