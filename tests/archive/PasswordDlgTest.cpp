// The component's password prompts, answered by typing into the dialog while it runs modally.

#include "ZipArchiverTestSupport.h"

#include "archive/PasswordDlg.h"
#include "platform/gui/BitBtn.h"
#include "platform/gui/Edit.h"
#include "platform/gui/Grab.h"
#include "platform/gui/Label.h"
#include "platform/gui/Messages.h"

namespace {

// What a person does in one dialog: the text typed, then OK or Cancel.
struct TPrompt {
    std::string Typed;
    bool Ok = true;
};

class PasswordPrompt : public TZipArchiverTest {
protected:
    void TearDown() override
    {
        SetModalStartHook(nullptr);
        TZipArchiverTest::TearDown();
    }

    // Answers the dialogs in order; each one shown is written down.
    void Answer(std::vector<TPrompt> prompts)
    {
        FPrompts = std::move(prompts);
        Shown.clear();
        SetModalStartHook([this](TCustomForm* form) {
            auto* dialog = dynamic_cast<TPasswordDlg*>(form);
            if (!dialog || Shown.size() >= FPrompts.size()) {
                ADD_FAILURE() << "a dialog nobody expected";
                form->SetModalResult(mrCancel); // never leaves the test waiting
                return;
            }
            const TPrompt prompt = FPrompts[Shown.size()];
            for (char c : prompt.Typed)
                dialog->PwdEdit->Perform(WM_CHAR, static_cast<unsigned char>(c), 0);
            Shown.push_back(dialog->PwdEdit->Text());
            if (!GrabPath.empty()) {
                EXPECT_TRUE(GrabToPng(dialog, GrabPath));
            }
            (prompt.Ok ? dialog->OKBtn : dialog->CancelBtn)->Click();
        });
    }

    std::vector<std::string> Shown; // the edit's text when each dialog was answered
    std::string GrabPath;

private:
    std::vector<TPrompt> FPrompts;
};

} // namespace

TEST_F(PasswordPrompt, AddingAsksTwiceAndKeepsOnlyAMatch)
{
    Answer({{"segreto"}, {"segreto"}});
    EXPECT_EQ(Zip->GetAddPassword(), "segreto");
    EXPECT_EQ(Zip->Password, "segreto");
    EXPECT_EQ(Shown.size(), 2u);

    Zip->Password.clear();
    Answer({{"segreto"}, {"Segreto"}});
    EXPECT_EQ(Zip->GetAddPassword(), "");
    EXPECT_EQ(Zip->ErrCode, 10104);
    EXPECT_EQ(BoxNumbers(), std::vector<int>{10104});
    EXPECT_EQ(Zip->Password, "");

    Answer({{"segreto", false}});
    EXPECT_EQ(Zip->GetAddPassword(), "");
    EXPECT_EQ(Shown.size(), 1u);

    // From the engines' callback the typed text is not kept.
    Zip->StorePassword = false;
    Answer({{"chiave"}});
    EXPECT_EQ(Zip->GetExtrPassword(), "chiave");
    EXPECT_EQ(Zip->Password, "");
}

TEST_F(PasswordPrompt, UnattendedShowsNoDialog)
{
    Answer({});
    Zip->Unattended = true;
    EXPECT_EQ(Zip->GetAddPassword(), "");
    EXPECT_EQ(Zip->ErrCode, 10150);
    EXPECT_EQ(Zip->GetExtrPassword(), "");
    EXPECT_EQ(Zip->ErrCode, 10151);
    EXPECT_TRUE(Shown.empty());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(PasswordPrompt, TheEditStopsAtEightyCharactersAndTheDialogIsGrabbed)
{
    GrabPath = (Dir / "password.png").string();
    Answer({{std::string(81, 'a')}});
    EXPECT_EQ(Zip->GetExtrPassword(), std::string(80, 'a'));
    ASSERT_TRUE(fs::exists(GrabPath));
    if (const char* keep = std::getenv("TESS_KEEP_GRABS"))
        fs::copy_file(GrabPath, fs::path(keep) / "f05-password-dialog.png", fs::copy_options::overwrite_existing);

    std::unique_ptr<TPasswordDlg> dialog(TForm::Create<TPasswordDlg>(Zip.get()));
    EXPECT_EQ(dialog->Width(), 344);
    EXPECT_EQ(dialog->Height(), 137);
    EXPECT_EQ(dialog->Font()->Name(), "Arial");
    EXPECT_EQ(dialog->Font()->Height(), -12);
    EXPECT_EQ(dialog->PwdEdit->PasswordChar(), '*');
    EXPECT_EQ(dialog->PwdEdit->MaxLength(), 80);
    EXPECT_EQ(dialog->OKBtn->Kind(), bkOK);
    EXPECT_EQ(dialog->CancelBtn->Kind(), bkCancel);
    EXPECT_EQ(dialog->OKBtn->Caption(), "");
    EXPECT_EQ(dialog->CancelBtn->Caption(), "");
    EXPECT_EQ(dialog->PwdLabel->Left(), 20);
    EXPECT_EQ(dialog->CancelBtn->Left(), 205);
    EXPECT_FALSE(dialog->Confirmed);

    // With a prompt of its own the label shows above the edit.
    GrabPath = (Dir / "prompt.png").string();
    Answer({{"x", false}});
    EXPECT_EQ(dialog->ShowModalPwdDlg("Archivio", "Password dell'archivio:"), "");
    EXPECT_EQ(dialog->PwdLabel->Caption(), "Password dell'archivio:");
    ASSERT_TRUE(fs::exists(GrabPath));
    if (const char* keep = std::getenv("TESS_KEEP_GRABS"))
        fs::copy_file(GrabPath, fs::path(keep) / "f05-password-dialog-prompt.png", fs::copy_options::overwrite_existing);
}

TEST_F(PasswordPrompt, AnEngineAsksThroughTheDialogAndThePasswordIsNotKept)
{
    MakeFileAt(Dir / "dati" / "segreto.txt", TextBytes("contenuto riservato"));
    const fs::path archive = ZipToolArchive(Dir / "dati", Dir / "cifrato.zip", "-r -P segreto");
    fs::create_directories(Dir / "fuori");
    Zip->ExtrOptions = {ExtrDirNames, ExtrOverWrite};
    Zip->SetZipFileName(archive.string());
    Zip->ExtrBaseDir = (Dir / "fuori").string();
    Answer({{"segreto"}});
    Zip->Extract();
    EXPECT_EQ(Shown, std::vector<std::string>{"segreto"});
    EXPECT_EQ(Zip->SuccessCount, 1);
    EXPECT_EQ(ReadBytes(Dir / "fuori" / "segreto.txt"), TextBytes("contenuto riservato"));
    EXPECT_EQ(Zip->Password, "");
}
