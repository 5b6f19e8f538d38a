#include "report/rpFunctionLibrary.h"

#include "report/RP_DBRel.h"
#include "report/RP_Pars.h"
#include "report/RP_Utils.h"
#include "report/rpBand.h"
#include "report/rpEngine.h"
#include "report/rpPages.h"

#include "platform/db/DataSet.h"
#include "platform/db/Field.h"
#include "platform/gui/DialogService.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/TextUtils.h"

#include <algorithm>

namespace rpFunctionLibrary {
namespace {

enum TAggregate { agSum, agAvg, agCount, agMin, agMax };

constexpr double NoMinimum = 1e200, NoMaximum = -1e200;

const TFormatSettings& PointSettings()
{
    static const TFormatSettings settings = [] {
        TFormatSettings point = FormatSettings();
        point.DecimalSeparator = '.';
        point.ThousandSeparator = ',';
        return point;
    }();
    return settings;
}

// A number as expression text the parser reads back.
std::string NumberText(double value)
{
    if (value == static_cast<double>(static_cast<long long>(value)) && std::abs(value) < 1e15)
        return IntToStr(static_cast<long long>(value));
    return FloatToStr(value, PointSettings());
}

double StoredNumber(const std::string& text) { return StrToFloatDef(text, 0, PointSettings()); }

std::string ArgumentText(const Variant& argument) { return VarIsNull(argument) || VarIsEmpty(argument) ? std::string() : VarToStr(argument); }

Variant Evaluate(const Variant& argument) { return rpParser->Calc(ArgumentText(argument)); }

std::string EvaluatedText(const Variant& argument)
{
    const Variant value = Evaluate(argument);
    return VarIsNull(value) || VarIsEmpty(value) ? std::string() : VarToStr(value);
}

double NumberOf(const Variant& value)
{
    if (VarIsNull(value) || VarIsEmpty(value))
        return 0;
    return static_cast<double>(value);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

bool AggregateBandVisible() { return !AggregateBand || AggregateBand->Visible; }

// Aggregates over a whole data set when the first argument names one. The cursor comes back to
// where it stood, so that a band walking the same table loses no record.
bool DataSetAggregate(TAggregate kind, const std::string& argument, std::string& val)
{
    TDataSet* dataSet = nullptr;
    TField* field = nullptr;
    try {
        if (kind == agCount) {
            dataSet = rpGetDataSet(argument);
        } else {
            dataSet = GetDefaultDataSet();
            rpGetDataSetAndField(argument, dataSet, field);
            if (!field)
                dataSet = nullptr;
        }
    } catch (const Exception&) {
        dataSet = nullptr;
    }
    if (!dataSet)
        return false;
    if (!AggregateBandVisible())
        return true;
    double sum = 0, minimum = NoMinimum, maximum = NoMaximum;
    int count = 0;
    if (!dataSet->Active())
        dataSet->Open();
    TBookmark bookmark = rpGetBookmark(dataSet);
    dataSet->First();
    while (!dataSet->Eof()) {
        const double value = kind == agCount ? 0 : NumberOf(field->Value());
        sum += value;
        minimum = std::min(minimum, value);
        maximum = std::max(maximum, value);
        ++count;
        dataSet->Next();
    }
    if (!bookmark.empty())
        rpGotoBookmark(dataSet, bookmark);
    rpFreeBookmark(dataSet, bookmark);
    switch (kind) {
    case agSum:
        val = NumberText(sum);
        break;
    case agAvg:
        val = NumberText(count > 0 ? sum / count : 0);
        break;
    case agCount:
        val = NumberText(count);
        break;
    case agMin:
        val = NumberText(count > 0 ? minimum : 0);
        break;
    case agMax:
        val = NumberText(count > 0 ? maximum : 0);
        break;
    }
    return true;
}

bool AllowedAggregateBand(TrpBandType type)
{
    return type == btPageFooter || type == btReportSummary || type == btMasterFooter || type == btDetailFooter ||
           type == btSubDetailFooter || type == btGroupFooter || type == btCrossFooter;
}

int FindKey(TStrings* values, const std::string& key)
{
    for (int i = 0; i < values->Count(); ++i) {
        const std::string line = values->Strings(i);
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=')
            return i;
    }
    return -1;
}

int& RecordsOf(TrpBand* band, const std::string& key)
{
    for (auto& [name, records] : band->AggRecords)
        if (name == key)
            return records;
    band->AggRecords.push_back({key, 0});
    return band->AggRecords.back().second;
}

std::string PrintedValue(TAggregate kind, TrpBand* band, const std::string& key)
{
    const int index = FindKey(band->AggValues.get(), key);
    if (index < 0)
        return "0";
    const double stored = StoredNumber(band->AggValues->Strings(index).substr(key.size() + 2));
    if (kind == agAvg) {
        const int records = RecordsOf(band, key);
        return NumberText(records > 0 ? stored / records : 0);
    }
    return NumberText(stored);
}

void Accumulate(TAggregate kind, TrpBand* band, const std::string& key, const Variant& argument)
{
    TStrings* values = band->AggValues.get();
    const int index = FindKey(values, key);
    std::string stored;
    if (index >= 0) {
        const std::string line = values->Strings(index);
        if (line[key.size() + 1] == '1')
            return;
        stored = line.substr(key.size() + 2);
    } else {
        stored = kind == agMin ? "1e200" : kind == agMax ? "-1e200" : "0";
    }
    const double value = kind == agCount ? 0 : NumberOf(Evaluate(argument));
    double number = StoredNumber(stored);
    switch (kind) {
    case agSum:
    case agAvg:
        number += value;
        break;
    case agMin:
        number = std::min(number, value);
        break;
    case agMax:
        number = std::max(number, value);
        break;
    case agCount:
        number += 1;
        break;
    }
    const std::string line = key + "=1" + FloatToStr(number, PointSettings());
    if (index >= 0)
        values->SetStrings(index, line);
    else
        values->Add(line);
    ++RecordsOf(band, key);
}

void Aggregate(TAggregate kind, const std::string& name, const Variant& p1, const Variant& p2, const Variant& p3,
               std::string& val)
{
    const std::string argument = Trim(ArgumentText(p1));
    if (DataSetAggregate(kind, argument, val))
        return;
    if (!AggregateBand || !AllowedAggregateBand(AggregateBand->BandType))
        return;
    std::string bandName = Trim(ArgumentText(p2));
    if (bandName.empty() && CurBand)
        bandName = CurBand->Name();
    const std::string hiddenFlag = Trim(ArgumentText(kind == agCount ? p2 : p3));
    if (CurBand && !CurBand->Visible && hiddenFlag != "1")
        return;
    std::string key = name + ArgumentText(p1);
    if (InCrossPass)
        key += AggregateBand->BandType == btCrossFooter ? std::string("00")
                                                         : IntToStr(CurPage ? CurPage->ColumnNumber : 0);
    if (AggregateBand->Visible) {
        val = PrintedValue(kind, AggregateBand, key);
        // Minimum and maximum of no values are 0.
        if (kind == agMin || kind == agMax) {
            const double number = StoredNumber(val);
            if (number >= NoMinimum || number <= NoMaximum)
                val = "0";
        }
        return;
    }
    if (!CurBand || !AnsiSameText(CurBand->Name(), bandName))
        return;
    Accumulate(kind, AggregateBand, key, p1);
}

} // namespace
} // namespace rpFunctionLibrary

TrpStdFunctionLibrary::TrpStdFunctionLibrary()
{
    for (const char* name : {"AVG", "COUNT", "FORMATDATETIME", "FORMATFLOAT", "INPUT", "LOWERCASE", "MAX", "MIN",
                             "NAMECASE", "STRTODATE", "STRTOTIME", "SUM", "UPPERCASE"})
        List->Add(name);
}

void TrpStdFunctionLibrary::DoFunction(int functionIndex, const Variant& p1, const Variant& p2, const Variant& p3,
                                       std::string& val)
{
    using namespace rpFunctionLibrary;
    const std::string name = List->Strings(functionIndex);
    val = "0";
    if (name == "SUM")
        Aggregate(agSum, name, p1, p2, p3, val);
    else if (name == "AVG")
        Aggregate(agAvg, name, p1, p2, p3, val);
    else if (name == "COUNT")
        Aggregate(agCount, name, p1, p2, p3, val);
    else if (name == "MIN")
        Aggregate(agMin, name, p1, p2, p3, val);
    else if (name == "MAX")
        Aggregate(agMax, name, p1, p2, p3, val);
    else if (name == "FORMATDATETIME")
        val = Quoted(FormatDateTime(EvaluatedText(p1), VarToDateTime(Evaluate(p2))));
    else if (name == "FORMATFLOAT")
        val = Quoted(FormatFloat(EvaluatedText(p1), NumberOf(Evaluate(p2))));
    else if (name == "INPUT")
        val = Quoted(InputBox("", EvaluatedText(p1), EvaluatedText(p2)));
    else if (name == "LOWERCASE")
        val = Quoted(AnsiLowerCase(EvaluatedText(p1)));
    else if (name == "UPPERCASE")
        val = Quoted(AnsiUpperCase(EvaluatedText(p1)));
    else if (name == "NAMECASE") {
        std::string text = AnsiLowerCase(EvaluatedText(p1));
        if (!text.empty())
            text = AnsiUpperCase(text.substr(0, 1)) + text.substr(1);
        val = Quoted(text);
    } else if (name == "STRTODATE")
        val = "%d'" + EvaluatedText(p1) + "'";
    else if (name == "STRTOTIME")
        val = "%t'" + EvaluatedText(p1) + "'";
}
