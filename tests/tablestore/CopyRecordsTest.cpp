// Copies between a memory table and other data sets: records, one record, updates by key,
// loading and saving whole tables, structure and field properties.

#include "FormatTestSupport.h"

#include "platform/db/StdFields.h"
#include "platform/rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>

namespace {

// Nome (String 10), Numero (Integer) with rows ("R1", 1) .. ("Rn", n).
std::unique_ptr<TzelMemTable> Numbered(int rows, TComponent* owner = nullptr)
{
    auto table = std::make_unique<TzelMemTable>(owner);
    table->FieldDefs().Add("Nome", ftString, 10);
    table->FieldDefs().Add("Numero", ftInteger);
    table->CreateTable();
    table->Open();
    for (int i = 1; i <= rows; ++i)
        table->AppendRecord({Variant("R" + std::to_string(i)), Variant(i)});
    return table;
}

TField* AddField(TzelMemTable& table, TFieldType type, const std::string& name, TFieldKind kind,
                 int size = 0)
{
    TField* field = DefaultFieldClass(type)(&table);
    field->SetFieldName(name);
    if (size > 0)
        field->SetSize(size);
    field->SetFieldKind(kind);
    field->SetDataSet(&table);
    return field;
}

} // namespace

TEST(CopyRecords, LimitsFlagsAndStartingRow)
{
    const struct {
        int limit, copied;
        bool complete;
    } cases[] = {{5, 5, false}, {0, 10, true}, {-1, 10, true}};
    for (const auto& c : cases) {
        auto source = Numbered(10);
        auto target = Numbered(0);
        source->First();
        EXPECT_EQ(target->CopyRecords(source.get(), target.get(), c.limit), c.copied);
        EXPECT_EQ(target->LoadedCompletely(), c.complete);
        EXPECT_EQ(target->RecordCount(), c.copied);

        auto other = Numbered(0);
        source->First();
        EXPECT_EQ(source->CopyRecords(source.get(), other.get(), c.limit), c.copied);
        EXPECT_EQ(source->SavedCompletely(), c.complete);
    }
    auto source = Numbered(10);
    auto target = Numbered(0);
    source->First();
    source->MoveBy(7);
    EXPECT_EQ(target->CopyRecords(source.get(), target.get(), 0), 3);
    EXPECT_EQ(RowsText(*target), "R8|8;R9|9;R10|10;");
}

TEST(CopyRecords, FieldMapping)
{
    TzelMemTable source(nullptr);
    source.FieldDefs().Add("Valore", ftFloat);
    source.FieldDefs().Add("Testo", ftFloat);
    source.FieldDefs().Add("Nome", ftString, 10);
    source.FieldDefs().Add("Id", ftInteger);
    source.FieldDefs().Add("Solo", ftInteger);
    source.CreateTable();
    source.Open();
    const double third = 1.0 / 3.0;
    source.AppendRecord({Variant(third), Variant(2.5), Variant(), Variant(41), Variant(1)});

    auto lookupSource = Numbered(3);
    TzelMemTable target(nullptr);
    target.FieldDefs().Add("Valore", ftFloat);
    target.FieldDefs().Add("Testo", ftString, 20);
    target.FieldDefs().Add("Nome", ftString, 10);
    target.FieldDefs().Add("Id", ftAutoInc);
    target.FieldDefs().Add("Altro", ftInteger);
    target.CreateTable();
    TField* lookup = AddField(target, ftString, "Solo", fkLookup, 10);
    lookup->SetKeyFields("Altro");
    lookup->SetLookupDataSet(lookupSource.get());
    lookup->SetLookupKeyFields("Numero");
    lookup->SetLookupResultField("Nome");
    target.Open();
    target.AppendRecord({Variant(), Variant(), Variant("x")});

    // The target is not empty: the AutoInc field is numbered, not copied.
    source.First();
    EXPECT_EQ(target.CopyRecords(&source, &target, 0), 1);
    target.Last();
    EXPECT_EQ(std::bit_cast<std::uint64_t>(target.FieldByName("Valore")->AsFloat()),
              std::bit_cast<std::uint64_t>(third));
    EXPECT_EQ(target.FieldByName("Testo")->AsString(), FloatToStr(2.5));
    EXPECT_TRUE(target.FieldByName("Nome")->IsNull());
    const int copiedId = target.FieldByName("Id")->AsInteger();
    target.First();
    EXPECT_EQ(copiedId, target.FieldByName("Id")->AsInteger() + 1);
    target.Last();
    EXPECT_TRUE(target.FieldByName("Altro")->IsNull());

    // An empty target takes the stored numbers.
    target.EmptyTable();
    source.First();
    target.CopyRecords(&source, &target, 0);
    target.First();
    EXPECT_EQ(target.FieldByName("Id")->AsInteger(), 41);
}

TEST(CopyRecords, RecordEventsVeto)
{
    auto source = Numbered(10);
    auto target = Numbered(0);
    int seen = 0;
    target->OnLoadRecord = [&](TDataSet*, bool& accept) { accept = (seen++ % 2) == 0; };
    source->First();
    EXPECT_EQ(target->CopyRecords(source.get(), target.get(), 0), 10);
    EXPECT_EQ(target->RecordCount(), 5);

    auto other = Numbered(0);
    source->OnSaveRecord = [&](TDataSet* dataSet, bool& accept) {
        accept = dataSet->FieldByName("Numero")->AsInteger() != 3;
    };
    std::vector<int> savedFields;
    source->OnSaveField = [&](TDataSet*, int fieldNo, TField*) { savedFields.push_back(fieldNo); };
    source->First();
    EXPECT_EQ(source->CopyRecords(source.get(), other.get(), 0), 9);
    EXPECT_EQ(other->RecordCount(), 9);
    EXPECT_EQ(savedFields.size(), 18u);
}

TEST(CopyRecords, UpdateRecordsAndUpdateToDataSet)
{
    auto source = Numbered(10);
    auto target = Numbered(0);
    source->First();
    EXPECT_EQ(source->UpdateRecords(source.get(), target.get(), {mtufAppend}, 5, "Nome"), 5);
    EXPECT_EQ(target->RecordCount(), 5);

    const struct {
        TzelMemTableUpdateFlags flags;
        std::string rows;
    } cases[] = {
        {{mtufEdit}, "R1|10;R2|20;"},
        {{mtufAppend}, "R1|1;R2|2;R3|30;"},
        {{mtufEdit, mtufAppend}, "R1|10;R2|20;R3|30;"},
    };
    for (const auto& c : cases) {
        auto from = Numbered(0);
        for (int i = 1; i <= 3; ++i)
            from->AppendRecord({Variant("R" + std::to_string(i)), Variant(i * 10)});
        // A closed memory table is empty; what the update wrote is seen just before it closes.
        auto to = Numbered(0);
        to->Close();
        std::string atClose;
        to->BeforeClose = [&](TDataSet* d) { atClose = std::to_string(d->RecordCount()); };
        from->UpdateToDataSet(to.get(), "Nome", c.flags);
        EXPECT_FALSE(to->Active());
        EXPECT_EQ(atClose, c.flags.Contains(mtufAppend) ? "3" : "0");

        auto open = Numbered(2);
        open->Last();
        from->UpdateToDataSet(open.get(), "Nome", c.flags);
        EXPECT_TRUE(open->Active());
        EXPECT_EQ(open->RecNo(), 1);
        EXPECT_FALSE(open->ControlsDisabled());
        EXPECT_EQ(from->TableState(), mtstBrowse);
    }
}

TEST(CopyRecords, SaveToDataSet)
{
    auto source = Numbered(10);
    auto target = Numbered(0);
    target->Close();
    std::string atClose;
    target->BeforeClose = [&](TDataSet* d) {
        atClose = std::to_string(d->RecNo()) + "/" + std::to_string(d->RecordCount());
    };
    source->Last();
    source->SaveToDataSet(target.get());
    EXPECT_FALSE(target->Active());
    EXPECT_EQ(atClose, "1/10");
    EXPECT_TRUE(source->SavedCompletely());
    EXPECT_EQ(source->SavedCount(), 10);

    auto limited = Numbered(0);
    source->SetSaveLimit(4);
    source->SaveToDataSet(limited.get());
    EXPECT_FALSE(source->SavedCompletely());
    EXPECT_EQ(limited->RecordCount(), 4);
    EXPECT_EQ(limited->RecNo(), 1);
    EXPECT_EQ(source->TableState(), mtstBrowse);
}

TEST(CopyRecords, LoadFromDataSetWithStructure)
{
    TComponent owner(nullptr);
    auto lookupSource = Numbered(3);
    TzelMemTable source(&owner);
    source.FieldDefs().Add("Nome", ftString, 10);
    source.FieldDefs().Add("Numero", ftInteger);
    source.FieldDefs().Add("Nascosto", ftFloat);
    source.CreateTable();
    TField* calculated = AddField(source, ftInteger, "Doppio", fkCalculated);
    TField* lookup = AddField(source, ftString, "Nominativo", fkLookup, 10);
    lookup->SetKeyFields("Numero");
    lookup->SetLookupDataSet(lookupSource.get());
    lookup->SetLookupKeyFields("Numero");
    lookup->SetLookupResultField("Nome");
    source.FieldByName("Nome")->SetDisplayLabel("Il nome");
    source.FieldByName("Nome")->SetDisplayWidth(22);
    source.FieldByName("Nome")->SetEditMask(">aaa;0;_");
    source.OnCalcFields = [](TDataSet* d) {
        d->FieldByName("Doppio")->SetAsInteger(d->FieldByName("Numero")->AsInteger() * 2);
    };
    source.Open();
    for (int i = 1; i <= 4; ++i)
        source.AppendRecord({Variant("S" + std::to_string(i)), Variant(i), Variant(0.5)});
    (void)calculated;

    {
        TzelMemTable table(&owner);
        source.First();
        source.Next();
        table.LoadFromDataSet(&source, {mtcpoStructure, mtcpoProperties});
        EXPECT_EQ(table.FieldCount(), 3);
        TField* nome = table.FieldByName("Nome");
        EXPECT_EQ(nome->DisplayLabel(), "Il nome");
        EXPECT_EQ(nome->DisplayWidth(), 22);
        EXPECT_EQ(nome->EditMask(), ">aaa;0;_");
        EXPECT_EQ(table.RecordCount(), 4);
        EXPECT_EQ(source.FieldByName("Numero")->AsInteger(), 2);
    }
    {
        TzelMemTable table(&owner);
        table.LoadFromDataSet(&source, {mtcpoStructure, mtcpoCalculated, mtcpoLookup});
        ASSERT_EQ(table.FieldCount(), 5);
        EXPECT_EQ(table.FieldByName("Doppio")->FieldKind(), fkCalculated);
        EXPECT_EQ(table.FieldByName("Doppio")->ClassName(), "TIntegerField");
        EXPECT_EQ(table.FieldByName("Nominativo")->FieldKind(), fkLookup);
        EXPECT_EQ(table.FieldByName("Nominativo")->LookupDataSet(), lookupSource.get());
    }
    {
        // Without objects for every definition only those fields come.
        TzelMemTable partial(&owner);
        partial.FieldDefs().Add("Numero", ftInteger);
        partial.FieldDefs().Add("Nome", ftString, 10);
        partial.CreateTable();
        partial.Open();
        partial.Close();
        partial.FieldDefs().Add("Extra", ftInteger);
        TzelMemTable table(&owner);
        table.LoadFromDataSet(&partial, {mtcpoStructure, mtcpoOnlyActiveFields});
        EXPECT_EQ(table.FieldCount(), 2);
        EXPECT_EQ(table.FieldDefs().Count(), 2);
        EXPECT_FALSE(partial.Active());
        EXPECT_FALSE(partial.ControlsDisabled());
    }
    {
        auto table = Numbered(2);
        table->SetFiltered(true);
        table->SetEnableIndexes(true);
        table->AddIndex("IdxNumero", "Numero", TIndexOptions{ixDescending});
        table->SetIndexName("IdxNumero");
        table->LoadFromDataSet(&source, {mtcpoAppend});
        EXPECT_TRUE(table->Filtered());
        EXPECT_TRUE(table->EnableIndexes());
        EXPECT_EQ(table->TableState(), mtstBrowse);
        EXPECT_EQ(RowsText(*table), "S4|4;S3|3;R2|2;S2|2;R1|1;S1|1;");
        EXPECT_EQ(ErrorOf([&] { table->LoadFromDataSet(&source, {mtcpoAppend, mtcpoStructure}); }),
                  "Invalid copy options: mtcpoAppend cannot be combined with mtcpoStructure or "
                  "mtcpoProperties.");
        EXPECT_EQ(table->RecordCount(), 6);
    }
}

TEST(CopyRecords, CreateTableAsAndFieldProperties)
{
    TzelMemTable wide(nullptr);
    for (int i = 0; i < 257; ++i)
        wide.FieldDefs().Add("F" + std::to_string(i), ftInteger);
    TzelMemTable table(nullptr);
    EXPECT_EQ(ErrorOf([&] { table.CreateTableAs(&wide, {}); }),
              "Too many fielddefs. Please raise ZEL_MAX_FIELDS value.");

    TzelMemTable source(nullptr);
    source.FieldDefs().Add("S", ftString, 10);
    source.FieldDefs().Add("I", ftInteger);
    source.FieldDefs().Add("F", ftFloat);
    source.FieldDefs().Add("B", ftBoolean);
    source.FieldDefs().Add("D", ftDateTime);
    source.FieldDefs().Add("C", ftBCD);
    source.FieldDefs().Add("M", ftMemo);
    source.CreateTable();
    TzelMemTable target(nullptr);
    for (int k = 0; k < source.FieldDefs().Count(); ++k) {
        TFieldDef* def = source.FieldDefs().Items(k);
        target.FieldDefs().Add(def->Name(), def->DataType(), def->Size());
    }
    target.CreateTable();
    for (int i = 0; i < source.FieldCount(); ++i) {
        TField* f = source.Fields().Fields(i);
        f->SetEditMask("m" + f->FieldName());
        f->SetDisplayWidth(30 + i);
        f->SetDisplayLabel("L" + f->FieldName());
        f->SetRequired(true);
        f->SetReadOnly(true);
        f->SetVisible(false);
        f->SetDefaultExpression("1");
        f->SetAlignment(taCenter);
    }
    auto& i = static_cast<TIntegerField&>(*source.FieldByName("I"));
    i.SetDisplayFormat("0000");
    i.SetEditFormat("0");
    i.SetMaxValue(99);
    i.SetMinValue(-9);
    auto& f = static_cast<TFloatField&>(*source.FieldByName("F"));
    f.SetMaxValue(5.5);
    f.SetMinValue(-5.5);
    f.SetPrecision(7);
    f.SetCurrency(true);
    static_cast<TBooleanField&>(*source.FieldByName("B")).SetDisplayValues("Si;No");
    static_cast<TDateTimeField&>(*source.FieldByName("D")).SetDisplayFormat("dd/mm");
    static_cast<TStringField&>(*source.FieldByName("S")).SetTransliterate(false);
    auto& c = static_cast<TBCDField&>(*source.FieldByName("C"));
    c.SetMaxValue(10);
    c.SetMinValue(1);
    c.SetCurrency(true);
    static_cast<TBlobField&>(*source.FieldByName("M")).SetBlobType(ftFmtMemo);

    std::vector<std::string> told;
    target.OnSetupFieldProperties = [&](TDataSet*, TField* field) {
        told.push_back(field->FieldName());
    };
    target.CopyFieldsProperties(&source, &target);
    EXPECT_EQ(told, (std::vector<std::string>{"S", "I", "F", "B", "D", "C", "M"}));
    for (int k = 0; k < target.FieldCount(); ++k) {
        TField* t = target.Fields().Fields(k);
        SCOPED_TRACE(t->FieldName());
        EXPECT_EQ(t->EditMask(), "m" + t->FieldName());
        EXPECT_EQ(t->DisplayWidth(), 30 + k);
        EXPECT_EQ(t->DisplayLabel(), "L" + t->FieldName());
        EXPECT_TRUE(t->Required());
        EXPECT_TRUE(t->ReadOnly());
        EXPECT_FALSE(t->Visible());
        EXPECT_EQ(t->DefaultExpression(), "1");
        EXPECT_EQ(t->Alignment(), taCenter);
    }
    auto& ti = static_cast<TIntegerField&>(*target.FieldByName("I"));
    EXPECT_EQ(ti.DisplayFormat(), "0000");
    EXPECT_EQ(ti.EditFormat(), "0");
    EXPECT_EQ(ti.MaxValue(), 99);
    EXPECT_EQ(ti.MinValue(), -9);
    auto& tf = static_cast<TFloatField&>(*target.FieldByName("F"));
    EXPECT_EQ(tf.MaxValue(), 5.5);
    EXPECT_EQ(tf.MinValue(), -5.5);
    EXPECT_EQ(tf.Precision(), 7);
    EXPECT_TRUE(tf.Currency());
    EXPECT_EQ(static_cast<TBooleanField&>(*target.FieldByName("B")).DisplayValues(), "Si;No");
    EXPECT_EQ(static_cast<TDateTimeField&>(*target.FieldByName("D")).DisplayFormat(), "dd/mm");
    EXPECT_FALSE(static_cast<TStringField&>(*target.FieldByName("S")).Transliterate());
    auto& tc = static_cast<TBCDField&>(*target.FieldByName("C"));
    EXPECT_EQ(tc.MaxValue(), 10);
    EXPECT_EQ(tc.MinValue(), 1);
    EXPECT_TRUE(tc.Currency());
    EXPECT_EQ(target.FieldByName("M")->DataType(), ftFmtMemo);
}

TEST(CopyRecords, FailingCopyKeepsWhatWasCopied)
{
    auto source = Numbered(10);
    source->Last();
    const TBookmark mark = source->GetBookmark();
    auto table = Numbered(0);
    int rows = 0;
    table->OnLoadField = [&](TDataSet*, int fieldNo, TField*) {
        if (fieldNo == 1 && ++rows == 7)
            RAISE(EMemTableError("stop"));
    };
    EXPECT_EQ(ErrorOf([&] { table->LoadFromDataSet(source.get(), {}); }), "stop");
    EXPECT_EQ(table->RecordCount(), 6);
    EXPECT_EQ(source->CompareBookmarks(source->GetBookmark(), mark), 0);
    EXPECT_FALSE(source->ControlsDisabled());
    EXPECT_FALSE(table->ControlsDisabled());
    EXPECT_EQ(table->TableState(), mtstBrowse);
    EXPECT_EQ(table->State(), dsBrowse);
    table->OnLoadField = nullptr;
    table->AppendRecord({Variant("dopo"), Variant(99)});
    EXPECT_EQ(table->RecordCount(), 7);
}

TEST(CopyRecords, SameClassValuesOfOtherSizesAndNulls)
{
    TzelMemTable source(nullptr);
    source.FieldDefs().Add("S", ftString, 10);
    source.FieldDefs().Add("D", ftDate);
    source.FieldDefs().Add("B", ftBoolean);
    source.CreateTable();
    source.Open();
    source.AppendRecord({Variant("abcdefgh"), Variant(), Variant(true)});
    source.AppendRecord({Variant(), Variant(), Variant()});
    source.First();
    source.Edit();
    source.FieldByName("D")->SetAsDateTime(39880.0);
    source.Post();

    TzelMemTable target(nullptr);
    target.FieldDefs().Add("S", ftString, 3);
    target.FieldDefs().Add("D", ftDate);
    target.FieldDefs().Add("B", ftBoolean);
    target.CreateTable();
    target.Open();
    source.First();
    EXPECT_EQ(target.CopyRecords(&source, &target, 0), 2);
    target.First();
    EXPECT_EQ(target.FieldByName("S")->AsString(), "abc");
    EXPECT_EQ(target.FieldByName("D")->AsDateTime(), 39880.0);
    EXPECT_TRUE(target.FieldByName("B")->AsBoolean());
    target.Next();
    for (int i = 0; i < target.FieldCount(); ++i)
        EXPECT_TRUE(target.Fields().Fields(i)->IsNull()) << i;
}

// Texts copied or loaded into the table go straight into the record; the field's events and
// read-only rules stay those of any write.
TEST(CopyRecords, TextsWrittenByCopiesAndLoadsKeepTheFieldRules)
{
    auto source = Numbered(3);
    auto target = Numbered(0);
    TField* name = target->FieldByName("Nome");
    int changes = 0;
    name->OnChange = [&](TField*) { ++changes; };
    target->LoadFromDataSet(source.get(), {});
    EXPECT_EQ(RowsText(*target), "R1|1;R2|2;R3|3;");
    EXPECT_EQ(changes, 3);

    name->OnValidate = [](TField* field) {
        if (field->AsString() == "R2")
            RAISE(EMemTableError("R2 non ammesso"));
    };
    EXPECT_EQ(ErrorOf([&] { target->LoadFromDataSet(source.get(), {}); }), "R2 non ammesso");
    EXPECT_EQ(RowsText(*target), "R1|1;");
    name->OnValidate = nullptr;

    // Outside a load the copy meets the field's read-only setting.
    target->EmptyTable();
    name->SetReadOnly(true);
    source->First();
    EXPECT_EQ(ErrorOf([&] { target->CopyRecords(source.get(), target.get(), 0); }),
              "Field Nome is read only");
    EXPECT_EQ(target->RecordCount(), 0);
    target->LoadFromDataSet(source.get(), {});
    EXPECT_EQ(RowsText(*target), "R1|1;R2|2;R3|3;");
}
