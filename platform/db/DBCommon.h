#pragma once
// The data-set framework's shared types: states, field types, data events, the small sets the
// framework passes around, bookmarks, the error class and its messages.

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Formats.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class TComponent;
class TDataSet;
class TField;

TESS_EXCEPTION(EDatabaseError, Exception)

// Raises EDatabaseError; with a component that has a name the message reads "Name: message".
[[noreturn]] void DatabaseError(const std::string& message, TComponent* component = nullptr);
// The same with the message formatted by Format.
[[noreturn]] void DatabaseErrorFmt(const std::string& message, std::initializer_list<TVarRec> args,
                                   TComponent* component = nullptr);

// A set of the values of a small enumeration, written as the class library writes sets:
// Resync({rmExact, rmCenter}).
template <typename E>
class TEnumSet {
public:
    TEnumSet() = default;
    TEnumSet(std::initializer_list<E> values)
    {
        for (E value : values)
            Include(value);
    }
    bool Contains(E value) const { return (FBits & Bit(value)) != 0; }
    void Include(E value) { FBits |= Bit(value); }
    void Exclude(E value) { FBits &= ~Bit(value); }
    bool Empty() const { return FBits == 0; }
    std::uint32_t Bits() const { return FBits; }
    bool operator==(const TEnumSet& other) const = default;

private:
    static std::uint32_t Bit(E value) { return 1u << static_cast<unsigned>(value); }
    std::uint32_t FBits = 0;
};

enum TDataSetState {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsBlockRead,
    dsInternalCalc,
    dsOpening
};

// The states in which a record (or a key) is being edited.
inline bool IsEditMode(TDataSetState state)
{
    return state == dsEdit || state == dsInsert || state == dsSetKey;
}

// The class library's order: the numbers are stored in table files.
enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd
};

// "String", "Integer", ... as the class library names the types.
std::string FieldTypeName(TFieldType type);
bool IsBlobType(TFieldType type);

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

enum TDataEvent {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode,
    dePropertyChange,
    deFieldListChange,
    deFocusControl,
    deParentScroll,
    deConnectChange,
    deReconcileError,
    deDisabledStateChange
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };

enum TResyncModeItem { rmExact, rmCenter };
using TResyncMode = TEnumSet<TResyncModeItem>;

enum TDataAction { daFail, daAbort, daRetry };
enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };
using TUpdateStatusSet = TEnumSet<TUpdateStatus>;

enum TLocateOption { loCaseInsensitive, loPartialKey };
using TLocateOptions = TEnumSet<TLocateOption>;

enum TFilterOption { foCaseInsensitive, foNoPartialCompare };
using TFilterOptions = TEnumSet<TFilterOption>;

enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

enum TFieldAttribute { faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed };
using TFieldAttributes = TEnumSet<TFieldAttribute>;

enum TIndexOption {
    ixPrimary,
    ixUnique,
    ixDescending,
    ixCaseInsensitive,
    ixExpression,
    ixNonMaintained
};
using TIndexOptions = TEnumSet<TIndexOption>;

// A record buffer: memory the data set allocates and lays out as it likes.
using TRecordBuffer = char*;

// A bookmark: BookmarkSize bytes copied from a record buffer. Empty means no bookmark.
using TBookmark = std::string;
using TBookmarkStr = TBookmark;

// Splits "Name1;Name2" at pos (0-based, advanced past the ';'); the name comes back trimmed.
std::string ExtractFieldName(const std::string& fields, std::size_t& pos);

// The framework's messages.
namespace DBMessages {
inline constexpr const char* DataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* DataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* DataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* DataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* NotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* RecordNotFound = "Record not found";
inline constexpr const char* FieldNotFound = "Field '%s' not found";
inline constexpr const char* FieldRequired = "Field '%s' must have a value";
inline constexpr const char* FieldNameMissing = "Field name missing";
inline constexpr const char* DuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* DuplicateIndexName = "Duplicate index name '%s'";
inline constexpr const char* IndexNotFound = "Index '%s' not found";
inline constexpr const char* NoIndexForFields = "No index for fields '%s'";
inline constexpr const char* DataSetMissing = "Field '%s' has no dataset";
inline constexpr const char* FieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* FieldRangeError =
    "%g is not a valid value for field '%s'. The allowed range is %g to %g";
inline constexpr const char* FieldValueError = "Invalid value for field '%s'";
inline constexpr const char* InvalidIntegerValue = "'%s' is not a valid integer value";
inline constexpr const char* InvalidFloatValue = "'%s' is not a valid floating point value";
inline constexpr const char* InvalidDateTimeValue = "'%s' is not a valid date and time";
inline constexpr const char* UnknownFieldType = "Field '%s' is of an unknown type";
inline constexpr const char* CircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* SelfReference = "Selfreferencing master/detail relations not allowed.";
inline constexpr const char* FieldIndexError = "Field index out of range";
inline constexpr const char* LookupIncomplete = "Lookup information for field '%s' is incomplete";
} // namespace DBMessages
