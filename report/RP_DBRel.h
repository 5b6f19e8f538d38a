#pragma once
// The data functions of the report engine: blob fields, field names, bookmarks, and the data set
// a band's data-source text names.

#include "platform/db/DBCommon.h"

#include <memory>
#include <string>

class TDataSet;
class TField;
class TStrings;
class TrpDataset;

// True for an existing field of a blob type.
bool rpIsBlob(TField* field);
void rpGetFieldNames(TDataSet* dataSet, TStrings* list);
TBookmark rpGetBookmark(TDataSet* dataSet);
void rpGotoBookmark(TDataSet* dataSet, const TBookmark& bookmark);
void rpFreeBookmark(TDataSet* dataSet, TBookmark& bookmark);
bool rpIsBookmarksEqual(TDataSet* dataSet, const TBookmark& a, const TBookmark& b);

// A text starting with a digit 1 to 9 makes a data set counting that many records, handed to the
// caller through created; any other text names a TrpDataset of the current report's owner
// (another class raises EInvalidCast). The data set found is initialised and returned; nullptr
// for an empty or unknown name.
TrpDataset* ResolveBandDataSet(const std::string& text, std::unique_ptr<TrpDataset>& created);
