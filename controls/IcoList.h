#pragma once
// A persistent list of owned icons with change notification and its own binary form, the
// "Icons" stream: a 32-bit count, then per entry a 32-bit size and that many bytes of an icon
// file (a size of 0 or less stands for an empty entry). Entries may be empty (nullptr).

#include "platform/gui/Icon.h"
#include "platform/gui/Resources.h"
#include "platform/rtl/Classes.h"

#include <string>
#include <vector>

class TIconList : public TPersistent {
    TESS_CLASS(TIconList, TPersistent)
public:
    TIconList() = default;
    ~TIconList() override;
    TIconList(const TIconList&) = delete;
    TIconList& operator=(const TIconList&) = delete;

    TIcon* operator[](int Index) { return Get(Index); }
    int Count() { return GetCount(); }
    void BeginUpdate();
    void EndUpdate();
    // Appends the icon itself (the list owns it afterwards; nullptr adds an empty entry).
    int AddIcon(TIcon* Icon);
    void LoadResource(HINSTANCE Instance, const std::vector<std::string>& ResNames);

    virtual void Changed();
    virtual TIcon* Get(int Index);
    virtual int GetCount();
    // Index may equal the count: an entry is appended first.
    virtual void Put(int Index, TIcon* Icon);
    // Appends a copy of the icon.
    virtual int Add(TIcon* Icon);
    virtual int AddResource(HINSTANCE Instance, const std::string& ResName);
    virtual void Clear();
    virtual void Delete(int Index);
    virtual void Exchange(int Index1, int Index2);
    // The position of that very icon object, -1 when absent.
    virtual int IndexOf(TIcon* Icon);
    virtual void Insert(int Index, TIcon* Icon);
    virtual void InsertResource(int Index, HINSTANCE Instance, const std::string& ResName);
    // Clears the list first. A size larger than the rest of the stream raises EReadError "Stream
    // read error"; that error and an icon's load error leave the list empty.
    virtual void LoadFromStream(TStream& Stream);
    virtual void Move(int CurIndex, int NewIndex);
    virtual void SaveToStream(TStream& Stream);

    void Assign(TPersistent* Source) override;

    TNotifyEvent OnChange;

private:
    void CheckIndex(int Index) const;
    void Hook(TIcon* Icon);
    static void Unhook(TIcon* Icon);
    void IconChanged(TObject* Sender);

    std::vector<TIcon*> FList;
    int FUpdateCount = 0;
};
