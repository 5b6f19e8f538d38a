#include "controls/IcoList.h"

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Formats.h"
#include "platform/rtl/Streams.h"

#include <memory>

namespace {

std::unique_ptr<TIcon> CopyOf(TIcon* Icon)
{
    auto copy = std::make_unique<TIcon>();
    copy->Assign(Icon);
    return copy;
}

std::unique_ptr<TIcon> ResourceIcon(HINSTANCE Instance, const std::string& ResName)
{
    auto icon = std::make_unique<TIcon>();
    // A loaded icon is shared by the module: the list keeps a copy of its own.
    if (HICON shared = LoadIcon(Instance, ResName))
        icon->SetHandle(CopyIcon(shared));
    return icon;
}

} // namespace

TIconList::~TIconList()
{
    OnChange = nullptr;
    Clear();
}

void TIconList::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= static_cast<int>(FList.size()))
        RAISE(EListError(Format("List index out of bounds (%d)", {Index})));
}

void TIconList::Hook(TIcon* Icon)
{
    if (Icon)
        Icon->OnChange = [this](TObject* Sender) { IconChanged(Sender); };
}

void TIconList::Unhook(TIcon* Icon)
{
    if (Icon)
        Icon->OnChange = nullptr;
}

void TIconList::IconChanged(TObject*) { Changed(); }

void TIconList::Changed()
{
    if (FUpdateCount == 0 && OnChange)
        OnChange(this);
}

void TIconList::BeginUpdate() { ++FUpdateCount; }

void TIconList::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

TIcon* TIconList::Get(int Index)
{
    CheckIndex(Index);
    return FList[static_cast<std::size_t>(Index)];
}

int TIconList::GetCount() { return static_cast<int>(FList.size()); }

int TIconList::AddIcon(TIcon* Icon)
{
    FList.push_back(Icon);
    Hook(Icon);
    Changed();
    return static_cast<int>(FList.size()) - 1;
}

int TIconList::Add(TIcon* Icon)
{
    std::unique_ptr<TIcon> copy = CopyOf(Icon);
    const int index = AddIcon(copy.get());
    copy.release();
    return index;
}

int TIconList::AddResource(HINSTANCE Instance, const std::string& ResName)
{
    std::unique_ptr<TIcon> icon = ResourceIcon(Instance, ResName);
    const int index = AddIcon(icon.get());
    icon.release();
    return index;
}

void TIconList::Put(int Index, TIcon* Icon)
{
    BeginUpdate();
    try {
        if (Index == GetCount())
            AddIcon(nullptr);
        CheckIndex(Index);
        TIcon*& entry = FList[static_cast<std::size_t>(Index)];
        if (!entry)
            entry = new TIcon;
        Hook(entry);
        entry->Assign(Icon);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TIconList::Insert(int Index, TIcon* Icon)
{
    if (Index < 0 || Index > GetCount())
        CheckIndex(Index);
    std::unique_ptr<TIcon> copy = CopyOf(Icon);
    FList.insert(FList.begin() + Index, copy.get());
    Hook(copy.release());
    Changed();
}

void TIconList::InsertResource(int Index, HINSTANCE Instance, const std::string& ResName)
{
    if (Index < 0 || Index > GetCount())
        CheckIndex(Index);
    std::unique_ptr<TIcon> icon = ResourceIcon(Instance, ResName);
    FList.insert(FList.begin() + Index, icon.get());
    Hook(icon.release());
    Changed();
}

void TIconList::Delete(int Index)
{
    CheckIndex(Index);
    TIcon* icon = FList[static_cast<std::size_t>(Index)];
    Unhook(icon);
    delete icon;
    FList.erase(FList.begin() + Index);
    Changed();
}

void TIconList::Clear()
{
    BeginUpdate();
    for (int i = GetCount() - 1; i >= 0; --i)
        Delete(i);
    EndUpdate();
}

void TIconList::Exchange(int Index1, int Index2)
{
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FList[static_cast<std::size_t>(Index1)], FList[static_cast<std::size_t>(Index2)]);
    Changed();
}

void TIconList::Move(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    TIcon* icon = FList[static_cast<std::size_t>(CurIndex)];
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, icon);
    Changed();
}

int TIconList::IndexOf(TIcon* Icon)
{
    for (std::size_t i = 0; i < FList.size(); ++i)
        if (FList[i] == Icon)
            return static_cast<int>(i);
    return -1;
}

void TIconList::LoadResource(HINSTANCE Instance, const std::vector<std::string>& ResNames)
{
    BeginUpdate();
    try {
        for (const std::string& name : ResNames)
            AddResource(Instance, name);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TIconList::Assign(TPersistent* Source)
{
    if (!Source) {
        Clear();
        return;
    }
    if (auto* list = dynamic_cast<TIconList*>(Source)) {
        if (list == this)
            return;
        BeginUpdate();
        try {
            Clear();
            for (TIcon* icon : list->FList) {
                if (icon)
                    Add(icon);
                else
                    AddIcon(nullptr);
            }
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    if (auto* icon = dynamic_cast<TIcon*>(Source)) {
        BeginUpdate();
        try {
            Clear();
            Add(icon);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    TPersistent::Assign(Source);
}

void TIconList::LoadFromStream(TStream& Stream)
{
    BeginUpdate();
    try {
        Clear();
        const std::int32_t count = Stream.ReadInt32();
        // Every entry takes at least its size field: a count the stream cannot hold is damage.
        if (count > 0 && count > (Stream.Size() - Stream.Position()) / 4)
            RAISE(EReadError("Stream read error"));
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t size = Stream.ReadInt32();
            if (size <= 0) {
                AddIcon(nullptr);
                continue;
            }
            if (size > Stream.Size() - Stream.Position())
                RAISE(EReadError("Stream read error"));
            TMemoryStream bytes;
            bytes.SetSize(size);
            Stream.ReadBuffer(bytes.Memory(), size);
            bytes.SetPosition(0);
            auto icon = std::make_unique<TIcon>();
            icon->LoadFromStream(bytes);
            AddIcon(icon.release());
        }
    } catch (...) {
        Clear();
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TIconList::SaveToStream(TStream& Stream)
{
    Stream.WriteInt32(GetCount());
    for (TIcon* icon : FList) {
        if (!icon || icon->Empty()) {
            Stream.WriteInt32(0);
            continue;
        }
        TMemoryStream bytes;
        icon->SaveToStream(bytes);
        Stream.WriteInt32(static_cast<std::int32_t>(bytes.Size()));
        Stream.WriteBuffer(bytes.Memory(), static_cast<int>(bytes.Size()));
    }
}
