// UTF-16 text in fixed buffers.
//
// The launcher runs without a C runtime and without a heap of its own, so
// every piece of text lives in storage sized up front. A text that would not
// fit is never cut short: the append fails, the text is marked as overflowed,
// and whoever holds it must not hand it on (a truncated installer path would
// start the wrong program or none).
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace launcher {

// Longest path Windows itself can name, in UTF-16 code units.
constexpr size_t kMaxPathChars = 32767;

size_t TextLength(const char16_t* text);

template <size_t Capacity>
class FixedText {
public:
    static constexpr size_t kCapacity = Capacity;

    FixedText() { data_[0] = 0; }

    const char16_t* Chars() const { return data_; }
    size_t Length() const { return length_; }
    bool Empty() const { return length_ == 0; }
    bool Overflowed() const { return overflowed_; }

    void Clear()
    {
        length_ = 0;
        overflowed_ = false;
        data_[0] = 0;
    }

    // Appends count units of text; on overflow appends nothing.
    bool Append(const char16_t* text, size_t count)
    {
        if (overflowed_ || count > Capacity - length_) {
            overflowed_ = true;
            return false;
        }
        for (size_t i = 0; i < count; ++i)
            data_[length_ + i] = text[i];
        length_ += count;
        data_[length_] = 0;
        return true;
    }

    bool Append(const char16_t* text) { return Append(text, TextLength(text)); }

    template <size_t Other>
    bool Append(const FixedText<Other>& text)
    {
        if (text.Overflowed()) {
            overflowed_ = true;
            return false;
        }
        return Append(text.Chars(), text.Length());
    }

    bool Assign(const char16_t* text, size_t count)
    {
        Clear();
        return Append(text, count);
    }

    bool Assign(const char16_t* text) { return Assign(text, TextLength(text)); }

    // For converters that write in place: room for kCapacity units, after
    // which SetLength says how many were written.
    char16_t* Buffer() { return data_; }
    void SetLength(size_t length)
    {
        length_ = length <= Capacity ? length : Capacity;
        overflowed_ = false;
        data_[length_] = 0;
    }

private:
    char16_t data_[Capacity + 1];
    size_t length_ = 0;
    bool overflowed_ = false;
};

// A full path, or anything built from one.
using PathText = FixedText<kMaxPathChars>;
// Captions, titles and other short texts from the string table.
using CaptionText = FixedText<255>;

}  // namespace launcher
