#include "tests/res/DialogTemplate.h"

#include <cstring>

namespace {

// Walks the template's words; strings are UTF-16, read here as plain ASCII.
class Cursor {
public:
    Cursor(const BYTE* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return pos_ <= size_; }
    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    short Short() { return Read<short>(); }
    BYTE Byte() { return Read<BYTE>(); }
    void AlignTo(size_t n) { pos_ = (pos_ + n - 1) / n * n; }
    void Skip(size_t n) { pos_ += n; }

    // A zero-terminated string, or 0xFFFF and an ordinal ("#ordinal").
    std::string StringOrOrdinal() {
        if (pos_ + 2 <= size_ && Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return String();
    }

    std::string String() {
        std::string text;
        while (pos_ + 2 <= size_) {
            const WORD c = Word();
            if (c == 0)
                return text;
            text += static_cast<char>(c < 0x80 ? c : '?');
        }
        pos_ = size_ + 1; // unterminated: not ok
        return text;
    }

private:
    template <class T> T Read() {
        T value{};
        if (pos_ + sizeof(T) <= size_)
            std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }
    WORD Peek() const {
        WORD value;
        std::memcpy(&value, data_ + pos_, sizeof value);
        return value;
    }

    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
};

std::string PredefinedClass(const std::string& name) {
    if (name == "#128")
        return "Button";
    if (name == "#129")
        return "Edit";
    if (name == "#130")
        return "Static";
    return name;
}

RECT Units(Cursor& in) {
    const short x = in.Short();
    const short y = in.Short();
    const short cx = in.Short();
    const short cy = in.Short();
    return RECT{x, y, cx, cy};
}

} // namespace

bool ReadDialogTemplate(int id, DialogTemplate* out) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (found == nullptr)
        return false;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(self, found)));
    Cursor in(data, SizeofResource(self, found));

    if (in.Word() != 1 || in.Word() != 0xFFFF)
        return false;
    in.Dword(); // help id
    out->exStyle = in.Dword();
    out->style = in.Dword();
    const WORD count = in.Word();
    out->units = Units(in);
    in.StringOrOrdinal(); // menu
    in.StringOrOrdinal(); // window class
    out->caption = in.String();
    if (out->style & (DS_SETFONT | DS_SHELLFONT)) {
        out->pointSize = in.Word();
        out->weight = in.Word();
        in.Byte(); // italic
        out->charset = in.Byte();
        out->face = in.String();
    }
    out->items.clear();
    for (WORD i = 0; i < count && in.ok(); ++i) {
        in.AlignTo(4);
        TemplateItem item;
        in.Dword(); // help id
        item.exStyle = in.Dword();
        item.style = in.Dword();
        item.units = Units(in);
        item.id = static_cast<int>(in.Dword());
        item.className = PredefinedClass(in.StringOrOrdinal());
        item.text = in.StringOrOrdinal();
        in.Skip(in.Word()); // creation data
        out->items.push_back(item);
    }
    return in.ok() && out->items.size() == count;
}
