#include "ModelJson.h"

#include "fuzz/TemplateFuzzCase.h"

#include "report/RP_Utils.h"

#include "platform/gui/Icon.h"
#include "platform/gui/Metafile.h"
#include "platform/rtl/Codepage.h"

#include <zlib.h>

#include <cstdio>

namespace ReportJson {

std::string Json(const std::string& ansi)
{
    std::string out = "\"";
    for (char c : AnsiToUtf8(ansi)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Json(std::int64_t number) { return std::to_string(number); }
std::string JsonBool(bool value) { return value ? "true" : "false"; }

std::string Json(TStrings* lines)
{
    std::string out = "[";
    for (int i = 0; i < lines->Count(); ++i)
        out += (i ? "," : "") + Json(lines->Strings(i));
    return out + "]";
}

std::string Members(const std::vector<std::pair<std::string, std::string>>& members)
{
    std::string out = "{";
    for (std::size_t i = 0; i < members.size(); ++i)
        out += (i ? "," : "") + Json(members[i].first) + ":" + members[i].second;
    return out + "}";
}

std::uint32_t Unsigned(TColor color) { return static_cast<std::uint32_t>(color); }

std::string PictureJson(TrpPictureView& view)
{
    TGraphic* graphic = view.Picture->Graphic();
    int kind = 0;
    if (graphic && !graphic->Empty())
        kind = dynamic_cast<TMetafile*>(graphic) ? 2 : dynamic_cast<TIcon*>(graphic) ? 3 : 1;
    TMemoryStream data;
    if (kind)
        graphic->SaveToStream(data);
    const auto crc = kind ? crc32(0, reinterpret_cast<const Bytef*>(data.Memory()), static_cast<uInt>(data.Size())) : 0;
    return Members({{"kind", Json(kind)}, {"size", Json(data.Size())}, {"crc32", Json(static_cast<std::int64_t>(crc))}});
}

std::string FrameWidthJson(float width)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(width));
    return text;
}

std::string StubExtraJson(std::uint32_t e)
{
    char extra[9];
    std::snprintf(extra, sizeof extra, "%02x%02x%02x%02x", e & 0xFF, (e >> 8) & 0xFF, (e >> 16) & 0xFF, e >> 24);
    return Json(extra);
}

namespace {

std::string PreparedObjectJson(TrpView& view)
{
    std::vector<std::pair<std::string, std::string>> members = {
        {"type", Json(view.ObjectType)}, {"class", Json(view.ObjectType == 10 ? view.ClassName() : "")},
        {"left", Json(view.Left)}, {"top", Json(view.Top)}, {"width", Json(view.Width)},
        {"height", Json(view.Height)}, {"flags", Json(view.Flags)}, {"frame_typ", Json(view.FrameTyp)},
        {"frame_width", FrameWidthJson(view.FrameWidth)}, {"frame_color", Json(Unsigned(view.FrameColor))},
        {"frame_style", Json(view.FrameStyle)}, {"fill_color", Json(Unsigned(view.FillColor))},
        {"memo", Json(view.Memo.get())}};
    if (auto* memo = dynamic_cast<TrpMemoView*>(&view)) {
        members.push_back({"font", Members({{"name", Json(memo->Font->Name())}, {"size", Json(memo->Font->Size())},
                                            {"style", Json(rpGetFontStyle(memo->Font->Style()))},
                                            {"color", Json(Unsigned(memo->Font->Color()))},
                                            {"adjust", Json(memo->Adjust)}, {"charset", Json(memo->Font->Charset())}})});
    } else if (auto* picture = dynamic_cast<TrpPictureView*>(&view)) {
        members.push_back({"picture", PictureJson(*picture)});
    } else if (auto* subReport = dynamic_cast<TrpSubReportView*>(&view)) {
        members.push_back({"sub_page", Json(subReport->SubPage)});
    } else if (auto* stub = dynamic_cast<TrpStubAddIn*>(&view)) {
        members.push_back({"extra", StubExtraJson(stub->Extra)});
    }
    return Members(members);
}

} // namespace

std::string PreparedJson(TrpEMFPages& pages)
{
    std::string sheets = "[";
    for (int i = 0; i < pages.Count(); ++i) {
        TrpPageInfo* info = pages.Pages(i);
        pages.ObjectsToPage(i);
        std::string objects = "[";
        for (const auto& view : info->Page->Objects)
            objects += (objects.size() > 1 ? "," : "") + PreparedObjectJson(*view);
        sheets += (i ? "," : "") + Members({{"paper_size", Json(info->PaperSize)}, {"width", Json(info->Width)},
                                            {"height", Json(info->Height)}, {"orientation", Json(info->Orientation)},
                                            {"use_margins", Json(info->UseMargins)},
                                            {"version", Json(static_cast<unsigned char>(info->Stream->Memory()[0]))},
                                            {"objects", objects + "]"}});
    }
    TrpPrinter* printer = rpPrinter();
    return Members({{"printer", Json(printer->Printers->Strings(printer->PrinterIndex()))}, {"sheets", sheets + "]"}});
}

} // namespace ReportJson
