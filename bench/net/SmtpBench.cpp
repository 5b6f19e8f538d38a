// The mail client and its helpers against programs that do the same work:
// - a mail with a 10 MB attachment to an aiosmtpd server on 127.0.0.1 (Open, Mail, Quit), against
//   python3 smtplib sending the same message bytes to the same server;
// - an HTML mail with a 10 MB inline image (Open, Mail, Quit), against python3 building the same mail with its email package and sending it with
//   smtplib;
// - FileMD5 of a 256 MB file against md5sum;
// - Base64Encode of 50 MB against coreutils base64 -w0 (reading the same bytes from a file), and
//   the same encoding into memory the process has used before.

#include "SinkProcesses.h"

#include "net/HtmlSmtpCli.h"
#include "net/MimeUtil.h"
#include "net/QuzMD5.h"
#include "net/SmtpProt.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageQueue.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace SmtpBench {

constexpr std::size_t AttachmentSize = 10 * 1024 * 1024;
constexpr std::size_t Md5FileSize = 256 * 1024 * 1024;
constexpr std::size_t Base64Size = 50 * 1024 * 1024;

// The benchmark's files, removed at the end.
struct TBenchFolder {
    std::filesystem::path Path =
        std::filesystem::temp_directory_path() / ("tess-smtp-bench-" + std::to_string(::getpid()));
    TBenchFolder() { std::filesystem::create_directories(Path); }
    ~TBenchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
};

const std::filesystem::path& Folder()
{
    static TBenchFolder folder;
    return folder.Path;
}

std::string RandomBytes(std::size_t size)
{
    std::string bytes(size, '\0');
    std::mt19937_64 random(size);
    for (std::size_t i = 0; i + 8 <= size; i += 8) {
        const auto value = random();
        std::memcpy(bytes.data() + i, &value, 8);
    }
    return bytes;
}

// A file of size random bytes in the benchmark folder, written once.
std::string SampleFile(const std::string& name, std::size_t size)
{
    const std::filesystem::path path = Folder() / name;
    if (!std::filesystem::exists(path)) {
        std::ofstream out(path, std::ios::binary);
        const std::string block = RandomBytes(1024 * 1024);
        for (std::size_t written = 0; written < size; written += block.size())
            out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - written)));
    }
    return path.string();
}

// --- Mail -------------------------------------------------------------------------------------

class TBenchSmtpServer {
public:
    TBenchSmtpServer()
        : FPort(SinkProcesses::FreePort()),
          FPid(SinkProcesses::StartSmtpServer(FPort, (Folder() / "received.eml").string()))
    {
    }
    ~TBenchSmtpServer() { SinkProcesses::Stop(FPid); }
    int Port() const { return FPort; }

private:
    int FPort;
    int FPid;
};

// The sender, the recipient and the subject of every mail of these benchmarks.
void Address(TSmtpCli& client, int port)
{
    client.SetHost("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.SetSignOn("Ditta Srl");
    client.SetFromName("fatture@example.it");
    client.RcptName()->Add("cliente@example.it");
    client.SetHdrFrom("fatture@example.it");
    client.SetHdrTo("cliente@example.it");
    client.SetHdrSubject("Fattura 12/2026");
}

// Open, Mail and Quit, waiting in the message queue between events; the seconds, or -1 when a
// request failed.
double OpenMailQuit(TSmtpCli& client)
{
    bool failed = false;
    bool finished = false;
    client.OnRequestDone = [&](TObject*, TSmtpRequest request, WORD code) {
        failed = failed || code != 0;
        if (request == smtpOpen && code == 0)
            client.Mail();
        else if (request == smtpQuit)
            finished = true;
        else
            client.Quit();
    };
    const auto start = std::chrono::steady_clock::now();
    client.Open();
    while (!finished) {
        Application->ProcessMessages();
        if (!finished && PostedMessageCount() == 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return failed ? -1 : seconds;
}

// The mail queue's kind of mail: three lines of text and one attached file.
double SendWithTheClient(int port, const std::string& attachment)
{
    TSmtpCli client(nullptr);
    Address(client, port);
    client.MailMessage()->Add("Gentile cliente,");
    client.MailMessage()->Add("in allegato la fattura.");
    client.MailMessage()->Add("Cordiali saluti");
    TStringList files;
    files.Add(attachment);
    client.SetEMailFiles(&files);
    return OpenMailQuit(client);
}

// smtplib sends the bytes of a message file; the seconds from its connection to its quit.
double SendWithSmtplib(int port, const std::string& messageFile)
{
    const std::string script = R"(
import smtplib, sys, time
port, message_file = int(sys.argv[1]), sys.argv[2]
message = open(message_file, "rb").read()
start = time.perf_counter()
with smtplib.SMTP("127.0.0.1", port) as client:
    client.helo("Ditta_Srl")
    client.sendmail("fatture@example.it", ["cliente@example.it"], message)
print(time.perf_counter() - start)
)";
    const std::string output = SinkProcesses::RunPython(script, {std::to_string(port), messageFile});
    return output.empty() ? -1 : std::stod(output);
}

void BM_SmtpMailWithTenMegabytes(benchmark::State& state)
{
    Application->Initialize();
    const std::string attachment = SampleFile("Fattura.pdf", AttachmentSize);
    TBenchSmtpServer server;
    for (auto _ : state) {
        const double seconds = SendWithTheClient(server.Port(), attachment);
        if (seconds < 0)
            state.SkipWithError("the mail was not sent");
        state.SetIterationTime(std::max(seconds, 1e-6));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(AttachmentSize));
}
BENCHMARK(BM_SmtpMailWithTenMegabytes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_SmtplibMailWithTenMegabytes(benchmark::State& state)
{
    Application->Initialize();
    const std::string attachment = SampleFile("Fattura.pdf", AttachmentSize);
    TBenchSmtpServer server;
    // The same message: the one the client sends, as the server received it.
    const std::string messageFile = (Folder() / "received.eml").string();
    if (SendWithTheClient(server.Port(), attachment) < 0) {
        state.SkipWithError("the client's mail was not sent");
        return;
    }
    const std::string message = (Folder() / "message.eml").string();
    std::filesystem::copy_file(messageFile, message, std::filesystem::copy_options::overwrite_existing);
    for (auto _ : state) {
        const double seconds = SendWithSmtplib(server.Port(), message);
        if (seconds < 0)
            state.SkipWithError("smtplib did not send the mail");
        state.SetIterationTime(std::max(seconds, 1e-6));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(AttachmentSize));
}
BENCHMARK(BM_SmtplibMailWithTenMegabytes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

// --- HTML mail ----------------------------------------------------------------------------------

const std::vector<std::string> PlainLines = {"Gentile cliente,", "in allegato la fattura di dicembre.",
                                             "Cordiali saluti", "Ditta Srl"};
const std::vector<std::string> HtmlLines = {"<html><body>", "<p>Gentile cliente,</p>",
                                            "<p>in allegato la fattura di dicembre.</p>",
                                            "<p><img src=\"cid:IMAGE1\"></p>", "<p>Cordiali saluti<br>Ditta Srl</p>",
                                            "</body></html>"};

// The HTML mail with its plain twin and the image inline.
double SendHtmlWithTheClient(int port, const std::string& image)
{
    THtmlSmtpCli client(nullptr);
    Address(client, port);
    TStringList plain, html, images;
    for (const std::string& line : PlainLines)
        plain.Add(line);
    for (const std::string& line : HtmlLines)
        html.Add(line);
    images.Add(image);
    client.SetPlainText(&plain);
    client.SetHtmlText(&html);
    client.SetEmailImages(&images);
    return OpenMailQuit(client);
}

// python3 builds multipart/related around multipart/alternative with the same texts and the image
// inline, then sends it; the seconds from reading the image to the end of the session.
double SendHtmlWithPython(int port, const std::string& image)
{
    const std::string script = R"(
import smtplib, sys, time
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.mime.image import MIMEImage
port, image_file = int(sys.argv[1]), sys.argv[2]
plain, html = sys.argv[3], sys.argv[4]
start = time.perf_counter()
message = MIMEMultipart("related", type="multipart/alternative")
message["From"], message["To"], message["Subject"] = "fatture@example.it", "cliente@example.it", "Fattura 12/2026"
alternative = MIMEMultipart("alternative")
alternative.attach(MIMEText(plain, "plain", "iso-8859-1"))
alternative.attach(MIMEText(html, "html", "iso-8859-1"))
message.attach(alternative)
image = MIMEImage(open(image_file, "rb").read(), "jpeg")
image["Content-ID"] = "<IMAGE1>"
image["Content-Disposition"] = "inline"
message.attach(image)
with smtplib.SMTP("127.0.0.1", port) as client:
    client.helo("Ditta_Srl")
    client.send_message(message)
print(time.perf_counter() - start)
)";
    std::string plain, html;
    for (const std::string& line : PlainLines)
        plain += line + "\r\n";
    for (const std::string& line : HtmlLines)
        html += line + "\r\n";
    const std::string output = SinkProcesses::RunPython(script, {std::to_string(port), image, plain, html});
    return output.empty() ? -1 : std::stod(output);
}

void BM_HtmlMailWithTenMegabyteImage(benchmark::State& state)
{
    Application->Initialize();
    const std::string image = SampleFile("logo.jpg", AttachmentSize);
    TBenchSmtpServer server;
    for (auto _ : state) {
        const double seconds = SendHtmlWithTheClient(server.Port(), image);
        if (seconds < 0)
            state.SkipWithError("the HTML mail was not sent");
        state.SetIterationTime(std::max(seconds, 1e-6));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(AttachmentSize));
}
BENCHMARK(BM_HtmlMailWithTenMegabyteImage)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_PythonHtmlMailWithTenMegabyteImage(benchmark::State& state)
{
    const std::string image = SampleFile("logo.jpg", AttachmentSize);
    TBenchSmtpServer server;
    for (auto _ : state) {
        const double seconds = SendHtmlWithPython(server.Port(), image);
        if (seconds < 0)
            state.SkipWithError("python3 did not send the HTML mail");
        state.SetIterationTime(std::max(seconds, 1e-6));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(AttachmentSize));
}
BENCHMARK(BM_PythonHtmlMailWithTenMegabyteImage)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

// --- MD5 --------------------------------------------------------------------------------------

void BM_FileMD5(benchmark::State& state)
{
    const std::string file = SampleFile("digest.bin", Md5FileSize);
    FileMD5(file); // the page cache holds the file for both
    for (auto _ : state)
        benchmark::DoNotOptimize(FileMD5(file));
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(Md5FileSize));
}
BENCHMARK(BM_FileMD5)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Md5sum(benchmark::State& state)
{
    const std::string file = SampleFile("digest.bin", Md5FileSize);
    SinkProcesses::Run({"md5sum", file});
    for (auto _ : state)
        SinkProcesses::Run({"md5sum", file});
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(Md5FileSize));
}
BENCHMARK(BM_Md5sum)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// --- Base64 -----------------------------------------------------------------------------------

void BM_Base64Encode(benchmark::State& state)
{
    const std::string bytes = RandomBytes(Base64Size);
    for (auto _ : state)
        benchmark::DoNotOptimize(Base64Encode(bytes));
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(Base64Size));
}
BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Base64Coreutils(benchmark::State& state)
{
    const std::string file = SampleFile("base64.bin", Base64Size);
    SinkProcesses::Run({"base64", "-w0", file});
    for (auto _ : state)
        SinkProcesses::Run({"base64", "-w0", file});
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(Base64Size));
}
BENCHMARK(BM_Base64Coreutils)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The same encoding with the allocator keeping freed memory, so that each result lands in pages
// the process has touched before: on this kind of virtual machine every first touch of a fresh
// page is a costly fault, and a 50 MB text's result takes 16,000 of them. Last, since the setting
// stays for the rest of the process.
void BM_Base64EncodeInReusedMemory(benchmark::State& state)
{
    mallopt(M_MMAP_THRESHOLD, 512 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    const std::string bytes = RandomBytes(Base64Size);
    benchmark::DoNotOptimize(Base64Encode(bytes));
    for (auto _ : state)
        benchmark::DoNotOptimize(Base64Encode(bytes));
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(Base64Size));
}
BENCHMARK(BM_Base64EncodeInReusedMemory)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace SmtpBench
