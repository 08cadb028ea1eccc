#include "base/json.h"

#include <string.h>

#include "base/arena.h"

namespace json {

const Value* Value::Get(StrView name) const {
    if (type != Type::Object) {
        return nullptr;
    }
    for (int32_t i = 0; i < count; i++) {
        if (str::Eq(keys[i], name)) {
            return &items[i];
        }
    }
    return nullptr;
}

namespace {

struct Reader {
    const char* s;
    int32_t n;
    int32_t pos = 0;
    Arena* arena;

    void SkipSpace() {
        while (pos < n && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\n' || s[pos] == '\r')) {
            pos++;
        }
    }
    bool Take(char c) {
        SkipSpace();
        if (pos < n && s[pos] == c) {
            pos++;
            return true;
        }
        return false;
    }
    bool Word(const char* w) {
        int32_t len = (int32_t)strlen(w);
        if (n - pos >= len && memcmp(s + pos, w, (size_t)len) == 0) {
            pos += len;
            return true;
        }
        return false;
    }

    int32_t Hex4() {
        if (n - pos < 4) {
            return -1;
        }
        int32_t v = 0;
        for (int i = 0; i < 4; i++) {
            int d = str::HexDigitValue(s[pos++]);
            if (d < 0) {
                return -1;
            }
            v = v * 16 + d;
        }
        return v;
    }

    static int32_t PutUtf8(uint32_t cp, char* out) {
        if (cp < 0x80) {
            out[0] = (char)cp;
            return 1;
        }
        if (cp < 0x800) {
            out[0] = (char)(0xC0 | (cp >> 6));
            out[1] = (char)(0x80 | (cp & 0x3F));
            return 2;
        }
        if (cp < 0x10000) {
            out[0] = (char)(0xE0 | (cp >> 12));
            out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
            out[2] = (char)(0x80 | (cp & 0x3F));
            return 3;
        }
        out[0] = (char)(0xF0 | (cp >> 18));
        out[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
        out[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
        out[3] = (char)(0x80 | (cp & 0x3F));
        return 4;
    }

    // A \u escape (after the 'u'), a surrogate pair joined; false for a lone surrogate.
    bool UnicodeEscape(uint32_t* cp) {
        int32_t hi = Hex4();
        if (hi < 0 || (hi >= 0xDC00 && hi <= 0xDFFF)) {
            return false;
        }
        if (hi < 0xD800 || hi > 0xDBFF) {
            *cp = (uint32_t)hi;
            return true;
        }
        if (!Word("\\u")) {
            return false;
        }
        int32_t lo = Hex4();
        if (lo < 0xDC00 || lo > 0xDFFF) {
            return false;
        }
        *cp = 0x10000 + (((uint32_t)hi - 0xD800) << 10) + ((uint32_t)lo - 0xDC00);
        return true;
    }

    // Where the string that starts here ends (its closing quote), or n: what its decoded
    // bytes are bounded by, so that many strings never reserve the rest of the document each.
    int32_t StringEnd() const {
        int32_t i = pos;
        while (i < n && s[i] != '"') {
            i += s[i] == '\\' ? 2 : 1;
        }
        return i < n ? i : n;
    }

    // After the opening quote. The decoded string is never longer than its source.
    bool String(StrView* out) {
        char* buf = (char*)ArenaAlloc(arena, (size_t)(StringEnd() - pos) + 1);
        int32_t len = 0;
        while (pos < n) {
            unsigned char c = (unsigned char)s[pos++];
            if (c == '"') {
                buf[len] = 0;
                *out = StrView(buf, len);
                return true;
            }
            if (c < 0x20) {
                pos--;
                return false;
            }
            if (c != '\\') {
                buf[len++] = (char)c;
                continue;
            }
            if (pos >= n) {
                return false;
            }
            char e = s[pos++];
            const char* simple = strchr("\"\\/bfnrt", e);
            if (e && simple) {
                buf[len++] = "\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"];
            } else if (e == 'u') {
                uint32_t cp = 0;
                if (!UnicodeEscape(&cp)) {
                    return false;
                }
                len += PutUtf8(cp, buf + len);
            } else {
                pos--;
                return false;
            }
        }
        return false;
    }

    // A non-negative or negative integer of at most 18 digits; no fractions or exponents.
    bool Integer(int64_t* out) {
        bool negative = pos < n && s[pos] == '-';
        pos += negative ? 1 : 0;
        int32_t start = pos;
        int64_t v = 0;
        while (pos < n && s[pos] >= '0' && s[pos] <= '9' && pos - start < 18) {
            v = v * 10 + (s[pos++] - '0');
        }
        bool leadingZero = pos - start > 1 && s[start] == '0';
        if (pos == start || leadingZero || (pos < n && (s[pos] == '.' || s[pos] == 'e' || s[pos] == 'E' ||
                                                       (s[pos] >= '0' && s[pos] <= '9')))) {
            return false;
        }
        *out = negative ? -v : v;
        return true;
    }

    bool Items(Value* v, bool object, int32_t depth);

    bool Parse(Value* v, int32_t depth) {
        SkipSpace();
        if (pos >= n || depth > kMaxDepth) {
            return false;
        }
        char c = s[pos];
        if (c == '{' || c == '[') {
            pos++;
            return Items(v, c == '{', depth + 1);
        }
        if (c == '"') {
            pos++;
            v->type = Type::String;
            return String(&v->string);
        }
        if (Word("true") || Word("false")) {
            v->type = Type::Bool;
            v->boolean = s[pos - 1] == 'e' && s[pos - 2] == 'u';  // "true", not "false"
            return true;
        }
        if (Word("null")) {
            v->type = Type::Null;
            return true;
        }
        v->type = Type::Integer;
        return Integer(&v->integer);
    }
};

// The items are read into a chain of fixed blocks first, then copied into one array: the
// count is not known before the closing bracket.
constexpr int32_t kBlock = 16;
struct Block {
    Value values[kBlock];
    StrView keys[kBlock];
    Block* next = nullptr;
};

bool Reader::Items(Value* v, bool object, int32_t depth) {
    v->type = object ? Type::Object : Type::Array;
    char close = object ? '}' : ']';
    Block* first = nullptr;
    Block* last = nullptr;
    int32_t count = 0;
    if (!Take(close)) {
        do {
            if (count % kBlock == 0) {
                Block* b = (Block*)ArenaAlloc(arena, sizeof(Block), true);
                (last ? last->next : first) = b;
                last = b;
            }
            int32_t at = count % kBlock;
            if (object && (!Take('"') || !String(&last->keys[at]) || !Take(':'))) {
                return false;
            }
            if (!Parse(&last->values[at], depth)) {
                return false;
            }
            count++;
        } while (Take(','));
        if (!Take(close)) {
            return false;
        }
    }
    v->count = count;
    v->items = (Value*)ArenaAlloc(arena, sizeof(Value) * (size_t)(count ? count : 1), true);
    v->keys = object ? (StrView*)ArenaAlloc(arena, sizeof(StrView) * (size_t)(count ? count : 1), true) : nullptr;
    int32_t i = 0;
    for (Block* b = first; b; b = b->next) {
        for (int32_t k = 0; k < kBlock && i < count; k++, i++) {
            v->items[i] = b->values[k];
            if (object) {
                v->keys[i] = b->keys[k];
            }
        }
    }
    return true;
}

}  // namespace

bool Parse(StrView text, Arena* arena, Value* out, int32_t* errorAt) {
    *out = Value();
    if (text.len > kMaxDocument) {
        *errorAt = kMaxDocument;
        return false;
    }
    Reader r{text.s, text.len, 0, arena};
    bool ok = r.Parse(out, 0);
    r.SkipSpace();
    if (ok && r.pos == r.n) {
        return true;
    }
    *errorAt = r.pos;
    return false;
}

}  // namespace json
