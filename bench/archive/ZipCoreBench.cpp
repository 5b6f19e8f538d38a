// The zip and unzip engines on a backup-sized data folder (200 MB in 5,000 table and text files)
// beside the zip and unzip tools run on the same folder, and the extraction of one entry into
// memory from an archive of 20,000 entries.

#include "archive/UnzCore.h"
#include "archive/ZipCore.h"
#include "archive/ZipCoreApi.h"
#include "archive/ZipDirectory.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ZipCoreBench {

namespace fs = std::filesystem;

constexpr int DataFiles = 5000;
constexpr std::size_t DataBytes = 200u * 1000u * 1000u;
constexpr int SmallEntries = 20000;

// The scratch folder of this executable's engine benchmarks, removed at exit.
struct TScratch {
    fs::path Path;

    TScratch()
    {
        char pattern[] = "/tmp/tess-zipcore-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        Path = pattern;
    }
    ~TScratch()
    {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
};

const fs::path& Scratch()
{
    static const TScratch scratch;
    return scratch.Path;
}

std::uint32_t NextRandom(std::uint64_t& state)
{
    state = 6364136223846793005ull * state + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
}

void SaveBytes(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A table file: fixed-length records of text fields padded with blanks, amounts and binary dates.
std::string TableFile(std::size_t size, std::uint64_t& random)
{
    static const char* const names[] = {"Rossi Mario", "Bianchi Srl", "Caff\xE8 Roma", "Verdi & C. snc",
                                        "Esposito Luigi", "Ferrari SpA", "Colombo Anna", "Ricci Ottica"};
    static const char* const towns[] = {"Milano", "Roma", "Napoli", "Torino", "Bologna", "Firenze"};
    std::string bytes;
    bytes.reserve(size + 256);
    while (bytes.size() < size) {
        std::string record(128, ' ');
        const std::string name = names[NextRandom(random) % 8];
        const std::string town = towns[NextRandom(random) % 6];
        record.replace(0, name.size(), name);
        record.replace(40, town.size(), town);
        const std::string amount = std::to_string(NextRandom(random) % 1000000) + "," +
                                   std::to_string(10 + NextRandom(random) % 90);
        record.replace(80, amount.size(), amount);
        const std::uint32_t date = 39000 + NextRandom(random) % 6000;
        for (int i = 0; i < 4; ++i)
            record[100 + i] = static_cast<char>((date >> (8 * i)) & 0xFF);
        record[127] = '\0';
        bytes += record;
    }
    bytes.resize(size);
    return bytes;
}

// A text file: lines of words in a few hundred combinations.
std::string TextFile(std::size_t size, std::uint64_t& random)
{
    static const char* const words[] = {"fattura", "cliente", "importo", "IVA", "totale", "scadenza", "pagamento",
                                        "bonifico", "articolo", "quantit\xE0", "sconto", "consegna", "ordine"};
    std::string bytes;
    bytes.reserve(size + 64);
    int column = 0;
    while (bytes.size() < size) {
        bytes += words[NextRandom(random) % 13];
        column += 1;
        bytes += column % 12 == 0 ? "\r\n" : " ";
    }
    bytes.resize(size);
    return bytes;
}

// The data folder: 5,000 files in 25 folders, two thirds tables, one third text, 200 MB in all
// with sizes from a few KB to about 120 KB.
const fs::path& DataFolder()
{
    static const fs::path folder = [] {
        const fs::path data = Scratch() / "data";
        std::uint64_t random = 42;
        std::vector<std::size_t> sizes(DataFiles);
        std::size_t total = 0;
        for (std::size_t& size : sizes) {
            size = 1 + NextRandom(random) % 1000;
            total += size;
        }
        for (int i = 0; i < DataFiles; ++i) {
            const std::size_t size = sizes[i] * DataBytes / total;
            char name[64];
            const bool table = i % 3 != 2;
            std::snprintf(name, sizeof name, "Cartella%02d/%s%04d.%s", i % 25, table ? "Tabella" : "Testo", i,
                          table ? "DAT" : "txt");
            SaveBytes(data / name, table ? TableFile(size, random) : TextFile(size, random));
        }
        return data;
    }();
    return folder;
}

int QuietCallback(TZCallBackStruct*)
{
    return 0;
}

// The backup as the program makes it: the whole folder, recursed, directory names, level 9.
int ZipFolder(const fs::path& folder, const fs::path& archive)
{
    const std::string root = folder.string();
    const std::string name = archive.string();
    TZipFileSpec spec;
    spec.FileSpec = ".\\";
    spec.Recurse = 1;
    spec.RootDir = root.c_str();
    TZipCmdRecord record;
    record.Version = ZipCoreRecordVersion;
    record.Seven = ZipCoreEndMarker;
    record.Callback = &QuietCallback;
    record.Recurse = 1;
    record.NoDirEntries = 1;
    record.Level = 9;
    record.ArchiveName = name.c_str();
    record.FileSpecs = &spec;
    record.FileSpecCount = 1;
    return ZipCoreExec(&record);
}

TUnzipCmdRecord UnzipRecord(const std::string& archive)
{
    TUnzipCmdRecord record;
    record.Version = ZipCoreRecordVersion;
    record.Seven = ZipCoreEndMarker;
    record.Callback = &QuietCallback;
    record.ArchiveName = archive.c_str();
    record.DirNames = 1;
    record.OverWrite = 1;
    return record;
}

const fs::path& BackupArchive()
{
    static const fs::path archive = [] {
        const fs::path path = Scratch() / "backup.zip";
        if (ZipFolder(DataFolder(), path) != DataFiles)
            std::abort();
        return path;
    }();
    return archive;
}

void SetDataCounters(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * DataBytes));
    state.counters["files"] = DataFiles;
}

void BM_BackupWithZipCore(benchmark::State& state)
{
    const fs::path& data = DataFolder();
    const fs::path archive = Scratch() / "engine.zip";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(archive);
        state.ResumeTiming();
        if (ZipFolder(data, archive) != DataFiles)
            state.SkipWithError("ZipCoreExec failed");
    }
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(archive)) / 1e6;
    SetDataCounters(state);
}
BENCHMARK(BM_BackupWithZipCore)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_BackupWithZipTool(benchmark::State& state)
{
    const fs::path& data = DataFolder();
    const fs::path archive = Scratch() / "tool.zip";
    const std::string command = "cd '" + data.string() + "' && zip -r -9 -q '" + archive.string() + "' .";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(archive);
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("zip failed");
    }
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(archive)) / 1e6;
    SetDataCounters(state);
}
BENCHMARK(BM_BackupWithZipTool)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Both restores write into an empty folder of the same name, emptied outside the timing.
fs::path EmptyRestoreFolder(benchmark::State& state)
{
    state.PauseTiming();
    const fs::path folder = Scratch() / "restore";
    fs::remove_all(folder);
    fs::create_directories(folder);
    state.ResumeTiming();
    return folder;
}

void BM_RestoreWithUnzCore(benchmark::State& state)
{
    const std::string archive = BackupArchive().string();
    for (auto _ : state) {
        const std::string base = EmptyRestoreFolder(state).string();
        TUnzipCmdRecord record = UnzipRecord(archive);
        record.ExtrBaseDir = base.c_str();
        if (UnzCoreExec(&record) != DataFiles)
            state.SkipWithError("UnzCoreExec failed");
    }
    SetDataCounters(state);
}
BENCHMARK(BM_RestoreWithUnzCore)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The unzip tool never flushes what it wrote; argument 1 adds the flush of the file system that
// the engine makes once before it answers.
void BM_RestoreWithUnzipTool(benchmark::State& state)
{
    const std::string archive = BackupArchive().string();
    for (auto _ : state) {
        const std::string folder = EmptyRestoreFolder(state).string();
        std::string command = "unzip -o -q '" + archive + "' -d '" + folder + "'";
        if (state.range(0) != 0)
            command += " && sync -f '" + folder + "'";
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("unzip failed");
    }
    SetDataCounters(state);
    state.SetLabel(state.range(0) != 0 ? "then sync -f" : "unflushed");
}
BENCHMARK(BM_RestoreWithUnzipTool)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// 20,000 entries of 200 to 2,200 bytes of text, deflated by the engine.
const fs::path& ManyEntriesArchive()
{
    static const fs::path archive = [] {
        const fs::path folder = Scratch() / "many";
        std::uint64_t random = 7;
        for (int i = 0; i < SmallEntries; ++i) {
            char name[48];
            std::snprintf(name, sizeof name, "Cartella%02d/Voce%05d.txt", i % 40, i);
            SaveBytes(folder / name, TextFile(200 + NextRandom(random) % 2000, random));
        }
        const fs::path path = Scratch() / "many.zip";
        if (ZipFolder(folder, path) != SmallEntries)
            std::abort();
        fs::remove_all(folder);
        return path;
    }();
    return archive;
}

// One entry near the end of the directory, by its stored name; the block has the entry's size.
void BM_MemoryExtractionFromManyEntries(benchmark::State& state)
{
    const std::string archive = ManyEntriesArchive().string();
    const std::string wanted = "Cartella19/Voce19979.txt";
    // The block gets the entry's size from the directory, outside the timing.
    std::vector<char> block;
    TZipArchiveFile file(archive);
    TZipDirectory directory;
    if (ReadZipDirectory(file, directory) != TZipDirectoryFailure::None)
        std::abort();
    for (const TZipCentralEntry& entry : directory.Entries)
        if (entry.Name == wanted)
            block.resize(entry.Header.UncompressedSize);
    TUnzipFileSpec spec;
    spec.FileSpec = wanted.c_str();
    for (auto _ : state) {
        TUnzipCmdRecord record = UnzipRecord(archive);
        record.FileSpecs = &spec;
        record.FileSpecCount = 1;
        record.ExtractToMemory = 1;
        record.MemoryBlock = block.data();
        record.MemorySize = static_cast<std::uint32_t>(block.size());
        if (UnzCoreExec(&record) != 1)
            state.SkipWithError("memory extraction failed");
    }
    state.counters["entries"] = SmallEntries;
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(archive)) / 1e6;
}
BENCHMARK(BM_MemoryExtractionFromManyEntries)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace ZipCoreBench
