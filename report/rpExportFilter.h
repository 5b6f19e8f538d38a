#pragma once
// The export filter interface: a filter is made over the target stream for one export, sees the
// document, every sheet and every object and text line of it in drawing order, and writes its file
// when a page or the document ends, or in its destructor.

#include "report/rpEngine.h"

#include "platform/rtl/Lists.h"

#include <memory>
#include <string>

class TStream;
class TrpView;

// One collected item of a filter's Lines: each entry of Lines is the head of a chain of items
// linked through Next. Filters derive their own items from it; the filter owns them.
struct TrpExportLine {
    TrpExportLine() = default;
    virtual ~TrpExportLine() = default;
    TrpExportLine(const TrpExportLine&) = delete;
    TrpExportLine& operator=(const TrpExportLine&) = delete;

    TrpExportLine* Next = nullptr;
};

// The base filter writes nothing. The calls a filter sees, in order: the constructor (stream),
// OnBeginDoc, then per sheet OnBeginPage, OnData and OnText for its objects and lines, OnEndPage;
// then OnEndDoc and the destructor, while the stream is still open.
class TrpExportFilter : public TObject {
    TESS_CLASS(TrpExportFilter, TObject)
public:
    explicit TrpExportFilter(TStream* stream);
    ~TrpExportFilter() override;
    TrpExportFilter(const TrpExportFilter&) = delete;
    TrpExportFilter& operator=(const TrpExportFilter&) = delete;

    virtual void OnBeginDoc() {}
    virtual void OnEndDoc() {}
    virtual void OnBeginPage() {}
    virtual void OnEndPage() {}
    virtual void OnData(int x, int y, TrpView* view);
    virtual void OnText(int x, int y, const std::string& text, TrpView* view);

    // Frees every chain of Lines, item after item, and empties the list.
    void ClearLines();

    // The registry entry of this class; each filter class gives its own.
    static TrpExportFilterClass ClassEntry();

    // The target; not owned.
    TStream* const Stream;
    // Heads of chains of TrpExportLine items (or null).
    const std::unique_ptr<TList> Lines;
};
