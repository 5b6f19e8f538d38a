#include "report/RP_DBRel.h"

#include "report/RP_DSet.h"
#include "report/RP_Utils.h"
#include "report/rpEngine.h"
#include "report/rpReport.h"

#include "platform/db/DataSet.h"
#include "platform/rtl/TextUtils.h"

bool rpIsBlob(TField* field) { return field && IsBlobType(field->DataType()); }

void rpGetFieldNames(TDataSet* dataSet, TStrings* list) { dataSet->GetFieldNames(list); }

TBookmark rpGetBookmark(TDataSet* dataSet) { return dataSet->GetBookmark(); }

void rpGotoBookmark(TDataSet* dataSet, const TBookmark& bookmark) { dataSet->GotoBookmark(bookmark); }

void rpFreeBookmark(TDataSet* dataSet, TBookmark& bookmark) { dataSet->FreeBookmark(bookmark); }

bool rpIsBookmarksEqual(TDataSet* dataSet, const TBookmark& a, const TBookmark& b)
{
    return dataSet->CompareBookmarks(a, b) == 0;
}

TrpDataset* ResolveBandDataSet(const std::string& text, std::unique_ptr<TrpDataset>& created)
{
    created.reset();
    TrpDataset* result = nullptr;
    if (!text.empty() && text[0] >= '1' && text[0] <= '9') {
        created = std::make_unique<TrpUserDataset>(nullptr);
        created->RangeEnd = reCount;
        created->RangeEndCount = StrToInt(text);
        result = created.get();
    } else if (!text.empty()) {
        TComponent* component = rpFindComponent(CurReport ? CurReport->Owner() : nullptr, text);
        if (component) {
            result = dynamic_cast<TrpDataset*>(component);
            if (!result)
                RAISE(EInvalidCast("Invalid class typecast"));
        }
    }
    if (result)
        result->Init();
    return result;
}
