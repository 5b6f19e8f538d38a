#include "ExportFilterTestSupport.h"

#include "PdfTestSupport.h"

#include "report/RP_Prntr.h"
#include "report/RP_Utils.h"

#include "platform/gui/Application.h"
#include "platform/gui/Printer.h"
#include "platform/gui/PrinterDevice.h"
#include "platform/gui/ScriptedDialogs.h"
#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace ExportFilterTestSupport {

using PdfTestSupport::Quoted;
using PdfTestSupport::RunCommand;
using PdfTestSupport::TTestFolder;

namespace {

bool EngineStarted = false;

class TEngineEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (EngineStarted)
            rpDoneEngine();
    }
};

::testing::Environment* const EngineEnvironment = ::testing::AddGlobalTestEnvironment(new TEngineEnvironment);

// Each reader prints the lines it found, one per output line, pieces separated by 0x1F, in UTF-8.
const char* const CsvReader = R"(import csv, sys
rows = []
with open(sys.argv[1], newline='', encoding=sys.argv[2]) as f:
    for row in csv.reader(f, delimiter=';', strict=True):
        pieces = [field for field in row if field != '']
        if pieces:
            rows.append('\x1f'.join(pieces))
sys.stdout.buffer.write('\n'.join(rows).encode('utf-8', 'surrogateescape'))
)";

const char* const HtmlReader = R"(import sys
from html.parser import HTMLParser
class Rows(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.row, self.cell = [], None, None
    def handle_starttag(self, tag, attrs):
        if tag == 'tr': self.row = []
        elif tag == 'td': self.cell = ''
    def handle_endtag(self, tag):
        if tag == 'td':
            self.row.append(self.cell)
            self.cell = None
        elif tag == 'tr':
            self.rows.append(self.row)
            self.row = None
    def handle_data(self, data):
        if self.cell is not None: self.cell += data
parser = Rows()
parser.feed(open(sys.argv[1], encoding=sys.argv[2], newline='').read())
parser.close()
rows = ['\x1f'.join(p for p in row if p != '') for row in parser.rows]
sys.stdout.buffer.write('\n'.join(r for r in rows if r).encode('utf-8', 'surrogateescape'))
)";

// unrtf's text output ends every tab with a line break: a paragraph that starts with a tab comes
// out as a line of blanks, then its pieces one per line. It writes a character's code point cut
// to one byte, and its own remarks on lines starting with "###".
const char* const RtfReader = R"(import subprocess, sys
run = subprocess.run(['unrtf', '--nopict', '--text', sys.argv[1]], capture_output=True, cwd=sys.argv[2])
if run.returncode != 0:
    sys.stderr.write(run.stderr.decode('latin-1'))
    sys.exit(1)
lines = run.stdout.decode('latin-1').split('\n')
lines = [line for line in lines if line != '-----------------' and not line.startswith('###')]
paragraphs, current = [], None
for line in lines:
    if line != '' and line.strip(' ') == '':
        current = []
        paragraphs.append(current)
    elif line != '' and current is not None:
        current.append(line.rstrip(' '))
rows = ['\x1f'.join(p for p in paragraph if p != '') for paragraph in paragraphs]
sys.stdout.buffer.write('\n'.join(r for r in rows if r).encode('utf-8'))
)";

const char* const XlsReader = R"(import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], encoding_override=sys.argv[2])
if book.nsheets != 1:
    sys.exit('sheets: %d' % book.nsheets)
sheet = book.sheet_by_index(0)
rows = []
for r in range(sheet.nrows):
    pieces = [str(cell.value) for cell in sheet.row(r) if cell.value != '']
    if pieces:
        rows.append('\x1f'.join(pieces))
sys.stdout.buffer.write('\n'.join(rows).encode('utf-8', 'surrogateescape'))
)";

const char* const BraceCounter = R"(import sys
data = open(sys.argv[1], 'rb').read()
depth, i = 0, 0
while i < len(data):
    c = data[i:i + 1]
    if c == b'\\':
        i += 2
        continue
    if c == b'{':
        depth += 1
    elif c == b'}':
        depth -= 1
        if depth < 0:
            sys.exit('closed before opened at %d' % i)
    i += 1
if depth != 0:
    sys.exit('unbalanced: %d' % depth)
)";

const char* const UnderlineFinder = R"(import html, re, subprocess, sys
out = subprocess.run(['unrtf', '--nopict', '--html', sys.argv[1]], capture_output=True, check=True,
                     cwd=sys.argv[2]).stdout.decode('utf-8')
for piece in re.findall(r'<u>(.*?)(?:<br>|</u>)', out, re.S):
    sys.stdout.buffer.write((html.unescape(piece).replace('\xa0', ' ').strip() + '\n').encode('utf-8'))
)";

const TTestFolder& ScriptFolder()
{
    static const TTestFolder folder;
    return folder;
}

std::string RunScript(const std::string& name, const char* script, const std::string& arguments)
{
    const fs::path path = ScriptFolder().Write(name, script);
    std::string output;
    const int status = RunCommand("/usr/bin/python3 " + Quoted(path) + " " + arguments, &output);
    EXPECT_EQ(status, 0) << name << ": " << output;
    return output;
}

TReadLines SplitLines(const std::string& output)
{
    TReadLines lines;
    std::istringstream text(output);
    std::string line;
    while (std::getline(text, line)) {
        std::vector<std::string> pieces;
        std::size_t start = 0;
        for (std::size_t end; (end = line.find('\x1f', start)) != std::string::npos; start = end + 1)
            pieces.push_back(line.substr(start, end - start));
        pieces.push_back(line.substr(start));
        lines.push_back(pieces);
    }
    return lines;
}

} // namespace

void StartEngine()
{
    if (EngineStarted)
        return;
    EngineStarted = true;
    Application->Initialize();
    TPrinterCatalogue none;
    none.VirtualWhenEmpty = false;
    SetPrinterCatalogue(none);
    auto dialogs = std::make_unique<TScriptedDialogs>();
    dialogs->AnswerAll(TDialogKind::MessageBox, TDialogAnswer::Code(IDOK));
    SetDialogService(std::move(dialogs));
    rpInitEngine();
    rpPrinter()->SetPrinter(Printer());
}

std::unique_ptr<TrpMemoView> MakeMemo(const std::string& fontName, int size, int style, TColor color)
{
    auto memo = std::make_unique<TrpMemoView>();
    memo->Font->SetName(fontName);
    memo->Font->SetSize(size);
    memo->Font->SetStyle(rpSetFontStyle(style));
    memo->Font->SetColor(color);
    return memo;
}

TFilterRun::TFilterRun(const TrpExportFilterClass& filterClass)
    : FStream(std::make_unique<TMemoryStream>()), FFilter(filterClass.Create(FStream.get()))
{
}

std::string TFilterRun::Written() { return std::string(FStream->Memory(), static_cast<std::size_t>(FStream->Size())); }

std::string TFilterRun::Finish()
{
    FFilter->OnEndDoc();
    FFilter.reset();
    return Written();
}

void PutPreparedObject(TrpPageInfo& sheet, TrpView& view)
{
    view.StreamMode = smPrinting;
    view.WorkMemo->Assign(view.Memo.get());
    sheet.Stream->SetPosition(sheet.Stream->Size());
    sheet.Stream->WriteUInt8(view.ObjectType);
    if (view.ObjectType == 10)
        rpWriteString(*sheet.Stream, view.ClassName());
    view.SaveToStream(*sheet.Stream);
}

void AddSheets(TrpReport& report, int count)
{
    TrpPage* page = report.DesignPages->Count() > 0 ? report.DesignPages->Pages(0) : report.DesignPages->Add();
    for (int i = 0; i < count; ++i)
        report.PreparedPages->Add(page);
}

std::set<std::string> Listing(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TReadLines ReadCsv(const fs::path& file, const std::string& encoding)
{
    return SplitLines(RunScript("csv_reader.py", CsvReader, Quoted(file) + " " + encoding));
}

TReadLines ReadHtml(const fs::path& file, const std::string& encoding)
{
    return SplitLines(RunScript("html_reader.py", HtmlReader, Quoted(file) + " " + encoding));
}

TReadLines ReadRtf(const fs::path& file)
{
    return SplitLines(RunScript("rtf_reader.py", RtfReader, Quoted(file) + " " + Quoted(ScriptFolder().Path())));
}

TReadLines ReadXls(const fs::path& file, const std::string& encoding)
{
    return SplitLines(RunScript("xls_reader.py", XlsReader, Quoted(file) + " " + encoding));
}

void ExpectBalancedRtfBraces(const fs::path& file)
{
    RunScript("brace_counter.py", BraceCounter, Quoted(file));
}

void ExpectXmllintSilent(const fs::path& file)
{
    std::string output;
    EXPECT_EQ(RunCommand("xmllint --html --noout " + Quoted(file), &output), 0);
    EXPECT_EQ(output, "") << file;
}

std::vector<std::string> RtfUnderlinedPieces(const fs::path& file)
{
    std::vector<std::string> pieces;
    std::istringstream text(RunScript("underline_finder.py", UnderlineFinder, Quoted(file) + " " + Quoted(ScriptFolder().Path())));
    for (std::string line; std::getline(text, line);)
        pieces.push_back(line);
    return pieces;
}

} // namespace ExportFilterTestSupport
