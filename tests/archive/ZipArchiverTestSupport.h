#pragma once
// The ZIP component's tests: the visual application with scripted boxes, the engines registered,
// and fake engines registered under the same names that write down what each call was given.

#include "ZipCoreTestSupport.h"

#include "archive/ZipArchiver.h"
#include "platform/gui/Application.h"
#include "platform/gui/DialogService.h"
#include "platform/gui/ScriptedDialogs.h"

#include <optional>

inline std::optional<std::string> SeenText(const char* text)
{
    return text ? std::optional<std::string>(text) : std::nullopt;
}

// What a fake zip engine was given by one call, texts copied while they lived.
struct TSeenZipCall {
    struct TSpec {
        std::string FileSpec;
        std::optional<std::string> Password;
        std::uint32_t Encrypt = 0;
        std::uint16_t Recurse = 0;
        std::optional<std::string> RootDir;
    };
    TZipCmdRecord Record;
    std::optional<std::string> Password, Suffixes, Archive, TempDir, Comment;
    std::vector<TSpec> Specs;
    std::vector<std::string> Excludes;
    // The record of an engine of version 150 or older.
    bool Old = false;
    std::uint32_t OldSeven = 0;
    std::vector<std::string> OldSpecs;
};

struct TSeenUnzipCall {
    TUnzipCmdRecord Record;
    std::string Password;
    std::vector<std::string> Specs;
    std::optional<std::string> BaseDir;
};

// Fake engines: plain functions, so their state is global; Reset before each test.
struct TFakeCores {
    static inline int ZipVersion = 160;
    static inline int UnzVersion = 160;
    static inline int Result = 1;
    static inline std::vector<TSeenZipCall> ZipCalls;
    static inline std::vector<TSeenUnzipCall> UnzipCalls;

    static void Reset()
    {
        ZipVersion = UnzVersion = 160;
        Result = 1;
        ZipCalls.clear();
        UnzipCalls.clear();
    }

    static int GetZipVersion() { return ZipVersion; }
    static int GetUnzVersion() { return UnzVersion; }

    static int ZipExec(TZipCmdRecord* record)
    {
        TSeenZipCall seen;
        seen.Old = ZipVersion <= 150;
        if (seen.Old) {
            auto* old = reinterpret_cast<TZipCmdRecordV150*>(record);
            seen.OldSeven = old->Seven;
            for (std::uint32_t i = 0; i < old->FileSpecCount; ++i)
                seen.OldSpecs.push_back(old->FileSpecs[i]);
            std::memcpy(static_cast<void*>(&seen.Record), record, offsetof(TZipCmdRecord, TempDir));
        } else {
            seen.Record = *record;
            seen.TempDir = SeenText(record->TempDir);
            seen.Comment = SeenText(record->RawComment);
            for (std::uint32_t i = 0; i < record->FileSpecCount; ++i) {
                const TZipFileSpec& spec = record->FileSpecs[i];
                seen.Specs.push_back({spec.FileSpec, SeenText(spec.Password), spec.Encrypt, spec.Recurse,
                                      SeenText(spec.RootDir)});
            }
            for (std::uint32_t i = 0; i < record->ExcludeCount; ++i)
                seen.Excludes.push_back(record->Excludes[i]);
        }
        seen.Password = SeenText(seen.Record.Password);
        seen.Suffixes = SeenText(seen.Record.StoreSuffixes);
        seen.Archive = SeenText(seen.Record.ArchiveName);
        ZipCalls.push_back(seen);
        return Result;
    }

    static int UnzExec(TUnzipCmdRecord* record)
    {
        TSeenUnzipCall seen;
        seen.Record = *record;
        seen.Password = record->Password ? record->Password : "(null)";
        for (std::uint32_t i = 0; i < record->FileSpecCount; ++i)
            seen.Specs.push_back(record->FileSpecs[i].FileSpec);
        seen.BaseDir = SeenText(record->ExtrBaseDir);
        UnzipCalls.push_back(seen);
        return Result;
    }

    // Replaces both engines; withZipExec false leaves "ZipCoreExec" out.
    static void Register(bool withZipExec = true)
    {
        UnregisterSystemModule("ZIPCORE.DLL");
        UnregisterSystemModule("UNZCORE.DLL");
        std::map<std::string, FARPROC> zip{{"GetZipCoreVersion", reinterpret_cast<FARPROC>(&GetZipVersion)}};
        if (withZipExec)
            zip["ZipCoreExec"] = reinterpret_cast<FARPROC>(&ZipExec);
        RegisterSystemModule("ZIPCORE.DLL", zip);
        RegisterSystemModule("UNZCORE.DLL", {{"UnzCoreExec", reinterpret_cast<FARPROC>(&UnzExec)},
                                             {"GetUnzCoreVersion", reinterpret_cast<FARPROC>(&GetUnzVersion)}});
    }
};

// Names with their CRCs, as zipinfo -v tells them.
inline std::vector<std::string> NamesAndCrcs(const fs::path& archive)
{
    std::string output;
    EXPECT_EQ(RunCommand("zipinfo -v " + Quoted(archive) + " | grep -A3 -E '^Central directory entry' | "
                         "sed -n 's/^  \\([^ ].*\\)$/\\1/p'; zipinfo -v " + Quoted(archive) + " | grep '32-bit CRC'",
                         &output),
              0);
    std::vector<std::string> lines;
    std::string line;
    for (char c : output) {
        if (c != '\n') {
            line += c;
        } else if (!line.empty()) {
            lines.push_back(line.substr(line.find_first_not_of(' ')));
            line.clear();
        }
    }
    return lines;
}

class TZipArchiverTest : public TZipCoreTest {
protected:
    void SetUp() override
    {
        TZipCoreTest::SetUp();
        TFakeCores::Reset();
        Application->Initialize();
        Application->SetTitle("Tessellarium");
        Dialogs = new TScriptedDialogs;
        Dialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
        FPreviousDialogs = SetDialogService(std::unique_ptr<IDialogService>(Dialogs));
        Zip = std::make_unique<TZipArchiver>(nullptr);
    }
    void TearDown() override
    {
        Zip.reset();
        SetDialogService(std::move(FPreviousDialogs));
        UnregisterSystemModule("ZIPCORE.DLL");
        UnregisterSystemModule("UNZCORE.DLL");
        RegisterZipCoreModules();
        TZipCoreTest::TearDown();
    }

    // The texts of the message boxes shown so far.
    std::vector<std::string> Boxes() const
    {
        std::vector<std::string> texts;
        for (const TDialogRequestRecord& request : Dialogs->Requests())
            if (request.Kind == TDialogKind::MessageBox)
                texts.push_back(request.Text);
        return texts;
    }

    static std::string Fallback(int number) { return ZipMessageFallback + std::to_string(number); }

    // The message numbers of the boxes shown so far.
    std::vector<int> BoxNumbers() const
    {
        std::vector<int> numbers;
        const std::string fallback = ZipMessageFallback;
        for (const std::string& text : Boxes())
            if (text.compare(0, fallback.size(), fallback) == 0)
                numbers.push_back(std::atoi(text.c_str() + fallback.size()));
        return numbers;
    }

    TScriptedDialogs* Dialogs = nullptr;
    std::unique_ptr<TZipArchiver> Zip;

private:
    std::unique_ptr<IDialogService> FPreviousDialogs;
};
