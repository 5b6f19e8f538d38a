#pragma once
// Command records built in the tests, a callback that writes down every action and answers as a
// test says, and python3's zipfile as a peer.

#include "ArchiveTestSupport.h"

#include "archive/UnzCore.h"
#include "archive/ZipCore.h"
#include "archive/ZipCoreApi.h"
#include "archive/ZipDirectory.h"
#include "platform/os/Libraries.h"

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>

#include <linux/capability.h>
#include <sys/syscall.h>

using namespace ZipCoreApi;

// Every call of the callback, and the answers a test gives.
class TCallbackLog {
public:
    struct TEvent {
        std::uint32_t Action = 0;
        std::uint32_t Code = 0;
        std::uint32_t Size = 0;
        std::string Text;
        std::string Comment; // action 12 only
    };

    // May change the record's answers; its result is the callback's (1 stops the work).
    std::function<int(TZCallBackStruct& record)> Answer;

    static int Callback(TZCallBackStruct* record)
    {
        auto* log = static_cast<TCallbackLog*>(record->Caller);
        TEvent event;
        event.Action = record->ActionCode;
        event.Code = record->ErrorCode;
        event.Size = record->Size;
        event.Text = std::string(record->Text, strnlen(record->Text, sizeof record->Text));
        if (record->ActionCode == zcaFileComment)
            event.Comment = std::string(record->Text + ZCallBackCommentOffset);
        log->Events.push_back(event);
        // What the component answers without a handler: no password, keep a damaged file.
        if (record->ActionCode == zcaPassword)
            record->ErrorCode = 0;
        if (record->ActionCode == zcaCrcError)
            record->ErrorCode = 2;
        return log->Answer ? log->Answer(*record) : 0;
    }

    std::vector<TEvent> Of(std::uint32_t action) const
    {
        std::vector<TEvent> found;
        for (const TEvent& event : Events)
            if (event.Action == action)
                found.push_back(event);
        return found;
    }

    // The messages (action 4) with this code.
    std::vector<std::string> Messages(std::uint32_t code) const
    {
        std::vector<std::string> texts;
        for (const TEvent& event : Of(zcaMessage))
            if (event.Code == code)
                texts.push_back(event.Text);
        return texts;
    }

    // The skip types of action 11 by entry name.
    std::map<std::string, std::uint32_t> Skipped() const
    {
        std::map<std::string, std::uint32_t> skipped;
        for (const TEvent& event : Of(zcaSkipped))
            skipped[event.Text] = event.Size & 0xFF;
        return skipped;
    }

    std::vector<TEvent> Events;
};

// An Add or a Delete: the record and the texts it points at.
class TZipCall {
public:
    TZipCall(const fs::path& archive, const fs::path& root, std::vector<std::string> specs)
        : Archive(archive.string()), Root(root.string()), Specs(std::move(specs))
    {
        Record.Version = ZipCoreRecordVersion;
        Record.Seven = ZipCoreEndMarker;
        Record.Callback = &TCallbackLog::Callback;
        Record.Caller = &Log;
        Record.Recurse = 1;
        Record.NoDirEntries = 1;
        Record.Level = 9;
    }

    int Run(bool throughLibrary = false)
    {
        SpecRecords.assign(Specs.size(), TZipFileSpec());
        for (std::size_t i = 0; i < Specs.size(); ++i) {
            SpecRecords[i].FileSpec = Specs[i].c_str();
            SpecRecords[i].Recurse = Record.Recurse;
            SpecRecords[i].Encrypt = Record.Encrypt;
            SpecRecords[i].RootDir = Root.empty() ? nullptr : Root.c_str();
            const auto own = SpecPasswords.find(i);
            if (own != SpecPasswords.end()) {
                SpecRecords[i].Password = own->second.c_str();
                SpecRecords[i].Encrypt = 1;
            } else if (!Password.empty()) {
                SpecRecords[i].Password = Password.c_str();
            }
        }
        Record.FileSpecs = SpecRecords.data();
        Record.FileSpecCount = static_cast<std::uint32_t>(Specs.size());
        Record.ArchiveName = Archive.c_str();
        Record.Password = Password.empty() ? nullptr : Password.c_str();
        Record.StoreSuffixes = Suffixes.empty() ? nullptr : Suffixes.c_str();
        Record.TempDir = TempDir.empty() ? nullptr : TempDir.c_str();
        Record.RawComment = Comment ? Comment->c_str() : nullptr;
        ExcludeTexts.clear();
        for (const std::string& exclude : Excludes)
            ExcludeTexts.push_back(exclude.c_str());
        Record.Excludes = ExcludeTexts.data();
        Record.ExcludeCount = static_cast<std::uint32_t>(ExcludeTexts.size());
        if (!throughLibrary)
            return ZipCoreExec(&Record);
        const HMODULE library = LoadLibraryA("ZIPCORE.DLL");
        EXPECT_NE(library, nullptr);
        auto exec = reinterpret_cast<TZipCoreExec>(GetProcAddress(library, "ZipCoreExec"));
        EXPECT_NE(exec, nullptr);
        return exec ? exec(&Record) : -1;
    }

    std::string Archive;
    std::string Root;
    std::vector<std::string> Specs;
    std::map<std::size_t, std::string> SpecPasswords;
    std::string Password;
    std::string Suffixes = ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha";
    std::string TempDir;
    std::optional<std::string> Comment;
    std::vector<std::string> Excludes;
    TZipCmdRecord Record;
    TCallbackLog Log;

private:
    std::vector<TZipFileSpec> SpecRecords;
    std::vector<const char*> ExcludeTexts;
};

// An extraction, a test or an extraction into memory.
class TUnzipCall {
public:
    explicit TUnzipCall(const fs::path& archive, const fs::path& base = {}, std::vector<std::string> specs = {})
        : Archive(archive.string()), Base(base.string()), Specs(std::move(specs))
    {
        Record.Version = ZipCoreRecordVersion;
        Record.Seven = ZipCoreEndMarker;
        Record.Callback = &TCallbackLog::Callback;
        Record.Caller = &Log;
        Record.DirNames = 1;
        Record.OverWrite = 1;
        Record.PasswordReqCount = 1;
    }

    int Run(bool throughLibrary = false)
    {
        SpecRecords.assign(Specs.size(), TUnzipFileSpec());
        for (std::size_t i = 0; i < Specs.size(); ++i)
            SpecRecords[i].FileSpec = Specs[i].c_str();
        Record.FileSpecs = SpecRecords.data();
        Record.FileSpecCount = static_cast<std::uint32_t>(Specs.size());
        Record.ArchiveName = Archive.c_str();
        Record.Password = Password.c_str();
        Record.ExtrBaseDir = Base.empty() ? nullptr : Base.c_str();
        if (!throughLibrary)
            return UnzCoreExec(&Record);
        const HMODULE library = LoadLibraryA("UNZCORE.DLL");
        EXPECT_NE(library, nullptr);
        auto exec = reinterpret_cast<TUnzCoreExec>(GetProcAddress(library, "UnzCoreExec"));
        EXPECT_NE(exec, nullptr);
        return exec ? exec(&Record) : -1;
    }

    std::string Archive;
    std::string Base;
    std::vector<std::string> Specs;
    std::string Password;
    TUnzipCmdRecord Record;
    TCallbackLog Log;

private:
    std::vector<TUnzipFileSpec> SpecRecords;
};

// Every regular file below a folder with its bytes, by relative path.
inline std::map<std::string, TBytes> FilesBelow(const fs::path& folder)
{
    std::map<std::string, TBytes> files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && !entry.is_symlink())
            files[fs::relative(entry.path(), folder).string()] = ReadBytes(entry.path());
    return files;
}

// Every path below a folder, links and folders included.
inline std::set<std::string> PathsBelow(const fs::path& folder)
{
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.insert(fs::relative(entry.path(), folder).string());
    return paths;
}

// Runs a python3 program with the arguments given; its exit status, with its output.
inline int RunPython(const std::string& program, const std::vector<std::string>& arguments, std::string* output = nullptr)
{
    std::string command = "python3 -c '" + program + "'";
    for (const std::string& argument : arguments)
        command += " '" + argument + "'";
    return RunCommand(command, output);
}

// The names python's zipfile reads, one a line, as UTF-8, with metadata_encoding for the
// entries without the UTF-8 flag.
inline std::vector<std::string> PythonNames(const fs::path& archive, const std::string& encoding = "cp850")
{
    std::string output;
    EXPECT_EQ(RunPython("import sys, zipfile\n"
                        "z = zipfile.ZipFile(sys.argv[1], metadata_encoding=sys.argv[2])\n"
                        "for i in z.infolist(): print(i.filename, i.create_system, i.flag_bits & 0x800, sep=\"|\")\n",
                        {archive.string(), encoding}, &output),
              0)
        << output;
    std::vector<std::string> lines;
    std::string line;
    for (char c : output) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return lines;
}

// Writes a file with a given modification time, making its folders.
inline fs::path MakeFileAt(const fs::path& path, const TBytes& bytes, std::time_t moment = FixtureMoment)
{
    fs::create_directories(path.parent_path());
    WriteBytes(path, bytes);
    SetModificationTime(path, moment);
    return path;
}

// Table-like bytes that deflate well.
inline TBytes TableBytes(std::size_t size, unsigned start = 1)
{
    TBytes bytes(size);
    std::uint32_t x = start;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<std::uint8_t>(i % 40 == 39 ? '\n' : "Rossi;Milano;0123456789;IVA 22 "[(x >> 16) % 31]);
    }
    return bytes;
}

// A small tree with folders, an empty file, a large compressible file and binary bytes.
inline fs::path MakeSampleTree(const fs::path& tree)
{
    MakeFileAt(tree / "Data" / "Clienti.DAT", TableBytes(150000));
    MakeFileAt(tree / "Data" / "vuoto.dat", {});
    MakeFileAt(tree / "Report" / "Default" / "fattura.frf", LcgBytes(40000));
    TBytes binary(70000);
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    MakeFileAt(tree / "immagine.bin", binary);
    return tree;
}

// The zip tool run in the tree over its whole content.
inline fs::path ZipToolArchive(const fs::path& tree, const fs::path& archive, const std::string& options = "-r -9")
{
    std::string output;
    EXPECT_EQ(RunCommand("cd " + Quoted(tree) + " && zip -q " + options + " " + Quoted(archive) + " .", &output), 0)
        << output;
    return archive;
}

// python's zipfile writing to a pipe, which makes it put the sizes in data descriptors.
inline fs::path PythonStreamedArchive(const fs::path& tree, const fs::path& archive)
{
    std::string output;
    EXPECT_EQ(RunCommand("python3 -c 'import os, sys, zipfile\n"
                         "root = sys.argv[1]\n"
                         "with zipfile.ZipFile(sys.stdout.buffer, \"w\", zipfile.ZIP_DEFLATED) as z:\n"
                         "    for folder, dirs, files in sorted(os.walk(root)):\n"
                         "        for f in sorted(files):\n"
                         "            path = os.path.join(folder, f)\n"
                         "            z.write(path, os.path.relpath(path, root))\n' " +
                             Quoted(tree) + " | cat > " + Quoted(archive),
                         &output),
              0)
        << output;
    return archive;
}

// Entries with names that leave the folder they are extracted into, two safe ones and a
// symbolic link, as python's zipfile writes them.
inline fs::path PythonUnsafeArchive(const fs::path& archive)
{
    std::string output;
    EXPECT_EQ(RunCommand("python3 -c 'import sys, zipfile\n"
                         "with zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                         "    for n in [\"../evil\", \"/abs/x\", \"C:\\\\x\", \"a/../../x\", \"sicuro.txt\", \"sub/ok.txt\"]:\n"
                         "        z.writestr(zipfile.ZipInfo(n), \"escaped \" + n)\n"
                         "    link = zipfile.ZipInfo(\"collegamento\")\n"
                         "    link.create_system = 3\n"
                         "    link.external_attr = 0o120777 << 16\n"
                         "    z.writestr(link, \"../../etc\")\n' " +
                             Quoted(archive),
                         &output),
              0)
        << output;
    return archive;
}

// Sets the method field of one entry, in its local and its central header.
inline void PatchMethod(TBytes& archive, const std::string& name, std::uint16_t method)
{
    for (std::size_t at = 0; at + ZipCentralHeaderSize <= archive.size(); ++at) {
        const std::uint32_t signature = GetLE32(archive.data() + at);
        const std::size_t nameAt = signature == ZipLocalHeaderSignature ? at + 30 : at + 46;
        const std::size_t lengthAt = signature == ZipLocalHeaderSignature ? at + 26 : at + 28;
        const std::size_t methodAt = signature == ZipLocalHeaderSignature ? at + 8 : at + 10;
        if (signature != ZipLocalHeaderSignature && signature != ZipCentralHeaderSignature)
            continue;
        if (GetLE16(archive.data() + lengthAt) == name.size() && nameAt + name.size() <= archive.size() &&
            std::equal(name.begin(), name.end(), archive.begin() + static_cast<std::ptrdiff_t>(nameAt)))
            PutLE16(archive.data() + methodAt, method);
    }
}

// The vectors of the old-method decoders: Implode under its four flag combinations and Reduce
// R1 (every factor) to R4, each with the bytes it decodes to.
struct TOldMethodCase {
    TRawMember Member;
    TBytes Expected;
};

inline std::vector<TOldMethodCase> OldMethodCases()
{
    auto raw = [](const std::string& name, std::uint16_t method, const TBytes& data, const TBytes& expected,
                  std::uint16_t flags = 0) {
        TRawMember member;
        member.Name = name;
        member.Method = method;
        member.Flags = flags;
        member.Data = data;
        member.Crc = ZipCrc32(expected.data(), expected.size());
        member.UncompressedSize = static_cast<std::uint32_t>(expected.size());
        return TOldMethodCase{member, expected};
    };
    const TBytes abc = TextBytes("ABCABCABCABC");
    std::vector<TOldMethodCase> cases;
    const char* implodes[] = {"03f5f5f5f503f5f5f5f5830a1d22fc07", "03f5f5f5f503f5f5f5f5830a1d22f80f",
                              "0ff7f7f7f7f7f7f7f7f7f7f7f7f7f7f7f703f5f5f5f503f5f5f5f5fbf6ee21fc27",
                              "0ff7f7f7f7f7f7f7f7f7f7f7f7f7f7f7f703f5f5f5f503f5f5f5f5fbf6ee21f84f"};
    for (int flags = 0; flags < 4; ++flags)
        cases.push_back(raw("implode" + std::to_string(flags), ZipMethodImploded, FromHex(implodes[flags]), abc,
                            static_cast<std::uint16_t>(flags * 2)));
    TBytes r1(192, 0);
    for (std::uint8_t b : FromHex("414243900602"))
        r1.push_back(b);
    for (std::uint16_t method = 2; method <= 5; ++method)
        cases.push_back(raw("r1-" + std::to_string(method), method, r1, abc));
    TBitWriter r2;
    for (int value = 255; value >= 0; --value) {
        r2.Put(value == 0x41 ? 1 : 0, 6);
        if (value == 0x41)
            r2.Put(0x42, 8);
    }
    for (int i = 0; i < 2; ++i) {
        r2.Put('A', 8);
        r2.Put(0, 1);
        r2.Put(0, 1);
    }
    cases.push_back(raw("r2", 2, r2.Bytes(), TextBytes("ABAB")));
    TBytes r3(192, 0);
    for (std::uint8_t b : FromHex("419001049000"))
        r3.push_back(b);
    cases.push_back(raw("r3", 2, r3, FromHex("410000000090")));
    TBytes r4(192, 0);
    TBytes literals;
    for (int i = 0; i < 300; ++i) {
        const std::uint8_t literal = static_cast<std::uint8_t>((7 * i + 1) % 256);
        literals.push_back(literal == 0x90 ? 0x91 : literal);
    }
    r4.insert(r4.end(), literals.begin(), literals.end());
    for (std::uint8_t b : FromHex("90162B"))
        r4.push_back(b);
    TBytes expected4 = literals;
    expected4.insert(expected4.end(), literals.begin(), literals.begin() + 9);
    cases.push_back(raw("r4", 5, r4, expected4));
    return cases;
}

// Drops the superuser's right to read and write every file for the life of the object, so that
// file permissions bind the tests even when they run as root.
class TWithoutFileRights {
public:
    TWithoutFileRights()
    {
        if (geteuid() != 0)
            return;
        FHeader.version = _LINUX_CAPABILITY_VERSION_3;
        if (syscall(SYS_capget, &FHeader, FSaved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {FSaved[0], FSaved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        FDropped = syscall(SYS_capset, &FHeader, reduced) == 0;
    }
    ~TWithoutFileRights()
    {
        if (FDropped)
            syscall(SYS_capset, &FHeader, FSaved);
    }
    TWithoutFileRights(const TWithoutFileRights&) = delete;
    TWithoutFileRights& operator=(const TWithoutFileRights&) = delete;

private:
    __user_cap_header_struct FHeader{};
    __user_cap_data_struct FSaved[2]{};
    bool FDropped = false;
};

// Each test registers the engines as the program does at its start.
class TZipCoreTest : public TArchiveTest {
protected:
    void SetUp() override
    {
        TArchiveTest::SetUp();
        RegisterZipCoreModules();
    }

    fs::path MakeFile(const fs::path& path, const TBytes& bytes, std::time_t moment = FixtureMoment)
    {
        return MakeFileAt(path, bytes, moment);
    }
};

// --- Mutations of the fuzz replays ---

// Positions of every header with this signature.
inline std::vector<std::size_t> HeadersOf(const TBytes& bytes, std::uint32_t signature, std::size_t size)
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i + size <= bytes.size(); ++i)
        if (GetLE32(bytes.data() + i) == signature)
            found.push_back(i);
    return found;
}

// Byte flips, truncations, and the fields of the central headers, the local headers and the end
// record set to edge values.
inline TBytes MutateArchive(TBytes bytes, std::mt19937& random)
{
    auto below = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
    static const std::uint32_t values[] = {0, 1, 0xFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
    const std::uint32_t value = below(4) == 0 ? static_cast<std::uint32_t>(random()) : values[below(6)];
    switch (below(5)) {
    case 0:
        for (std::size_t i = 1 + below(8); i > 0 && !bytes.empty(); --i)
            bytes[below(bytes.size())] ^= static_cast<std::uint8_t>(1 + below(255));
        break;
    case 1:
        bytes.resize(below(bytes.size()));
        break;
    case 2: {
        const std::vector<std::size_t> central = HeadersOf(bytes, ZipCentralHeaderSignature, ZipCentralHeaderSize);
        if (central.empty())
            break;
        static const std::size_t fields[] = {8, 10, 20, 24, 28, 30, 32, 38, 42};
        const std::size_t at = central[below(central.size())] + fields[below(9)];
        if (at == 8 || at == 10 || at == 28 || at == 30 || at == 32)
            PutLE16(bytes.data() + at, static_cast<std::uint16_t>(value));
        else
            PutLE32(bytes.data() + at, value);
        break;
    }
    case 3: {
        const std::vector<std::size_t> local = HeadersOf(bytes, ZipLocalHeaderSignature, ZipLocalHeaderSize);
        if (local.empty())
            break;
        const std::size_t at = local[below(local.size())];
        PutLE16(bytes.data() + at + (below(2) ? 26 : 28), static_cast<std::uint16_t>(value));
        break;
    }
    default: {
        const std::vector<std::size_t> ends = HeadersOf(bytes, ZipEndRecordSignature, ZipEndRecordSize);
        if (ends.empty())
            break;
        static const std::size_t fields[] = {8, 10, 12, 16, 20};
        const std::size_t field = fields[below(5)];
        const std::size_t at = ends.back() + field;
        if (field == 12 || field == 16)
            PutLE32(bytes.data() + at, value);
        else
            PutLE16(bytes.data() + at, static_cast<std::uint16_t>(value));
        break;
    }
    }
    return bytes;
}

// Every archive the engine tests use, built afresh in scratch: the inputs of the fuzz replay and
// of the fuzzer's corpus.
std::vector<TBytes> UnzCoreFuzzCorpus(const fs::path& scratch);
