// Checks a built velmora.scr without running it: a GUI-subsystem PE for the
// expected machine, importing only the system DLLs the saver may use and none
// of its optional functions, with the string, icon groups and manifest that
// the system reads. Portable C++, compiled with the host compiler, so that it
// also checks the 32-bit saver, which cannot run here.
//
// Usage: scr_inspect FILE x86|x64
// Prints every failed check and exits 1 when there is one.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
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
    explicit pe_file(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}

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
            import library{text_at(offset_of(u32(entry + 12))), {}};
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

const pe_file::resource* find_resource(const std::vector<pe_file::resource>& all, std::uint32_t type,
                                       std::uint32_t id)
{
    for (const auto& r : all)
        if (r.type == type && r.id == id)
            return &r;
    return nullptr;
}

void check_imports(const pe_file& file)
{
    const std::set<std::string> allowed = {"kernel32.dll", "user32.dll",   "gdi32.dll",  "advapi32.dll",
                                           "comctl32.dll", "opengl32.dll", "glu32.dll",  "msvcrt.dll"};
    const std::set<std::string> looked_up = {"HeapSetInformation", "VerifyScreenSavePwd", "PwdChangePasswordA",
                                             "ImmAssociateContext"};
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
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::string(argv[2]) != "x86" && std::string(argv[2]) != "x64")) {
        std::fprintf(stderr, "usage: %s FILE x86|x64\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    pe_file file(std::move(bytes));
    check(file.parse(), std::string("a PE file: ") + argv[1]);
    if (failures != 0)
        return 1;
    const bool wide = std::string(argv[2]) == "x64";
    check(file.machine == (wide ? 0x8664u : 0x14Cu), wide ? "machine x86-64" : "machine i386");
    check(file.magic == (wide ? 0x20Bu : 0x10Bu), wide ? "PE32+" : "PE32");
    check(file.subsystem == 2, "GUI subsystem");
    check_imports(file);
    check_resources(file);
    std::printf("%s\n", failures == 0 ? "all checks passed" : "some checks failed");
    return failures == 0 ? 0 : 1;
}
