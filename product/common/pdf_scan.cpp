#include "pdf_scan.h"

#include <string.h>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool IsDelimiter(char c) {
    return strchr("()<>[]{}/%", c) != nullptr && c != '\0';
}

// memmem is not in MinGW's C library.
const char* Find(const char* from, const char* end, const char* what) {
    size_t n = strlen(what);
    for (const char* p = from; p + n <= end; p++) {
        if (memcmp(p, what, n) == 0) return p;
    }
    return nullptr;
}

// Reads a literal string starting after its "(" and returns the position after its ")".
const char* ReadLiteral(const char* p, const char* end, std::string* s) {
    int depth = 1;
    while (p < end) {
        char c = *p++;
        if (c == '\\') {
            if (p >= end) break;
            char e = *p++;
            switch (e) {
                case 'n':
                    s->push_back('\n');
                    break;
                case 'r':
                    s->push_back('\r');
                    break;
                case 't':
                    s->push_back('\t');
                    break;
                case 'b':
                    s->push_back('\b');
                    break;
                case 'f':
                    s->push_back('\f');
                    break;
                case '\r':
                    if (p < end && *p == '\n') p++;
                    break;  // line continuation
                case '\n':
                    break;
                default:
                    if (e >= '0' && e <= '7') {
                        int v = e - '0';
                        for (int i = 0; i < 2 && p < end && *p >= '0' && *p <= '7'; i++) v = v * 8 + (*p++ - '0');
                        s->push_back((char)(v & 0xFF));
                    } else {
                        s->push_back(e);  // \( \) \\ and unknown escapes stand for the character itself
                    }
            }
            continue;
        }
        if (c == '(') depth++;
        if (c == ')' && --depth == 0) return p;
        s->push_back(c);
    }
    return end;
}

// Interprets one content stream: strings are collected until the operator that shows them.
void ScanContent(const char* p, const char* end, std::string* out) {
    std::string pending;  // strings read since the last operator
    bool lineHasText = false;
    auto endLine = [&] {
        if (lineHasText) out->push_back('\n');
        lineHasText = false;
    };
    while (p < end) {
        char c = *p;
        if (IsSpace(c)) {
            p++;
            continue;
        }
        if (c == '%') {
            while (p < end && *p != '\n' && *p != '\r') p++;
            continue;
        }
        if (c == '(') {
            p = ReadLiteral(p + 1, end, &pending);
            continue;
        }
        if (c == '[' || c == ']' || c == '<' || c == '>' || c == '{' || c == '}') {
            p++;
            continue;
        }
        // A name, number or operator.
        const char* start = p;
        p++;
        while (p < end && !IsSpace(*p) && !IsDelimiter(*p)) p++;
        size_t n = (size_t)(p - start);
        if (start[0] == '/' || (start[0] >= '0' && start[0] <= '9') || start[0] == '-' || start[0] == '+' ||
            start[0] == '.') {
            // A large negative adjustment inside a TJ array is how a word gap is drawn.
            if (start[0] == '-' && n > 3 && !pending.empty() && pending.back() != ' ') pending.push_back(' ');
            continue;
        }
        bool quote = n == 1 && (start[0] == '\'' || start[0] == '"');
        if (quote) endLine();
        if ((n == 2 && (memcmp(start, "Tj", 2) == 0 || memcmp(start, "TJ", 2) == 0)) || quote) {
            while (!pending.empty() && pending.back() == ' ') pending.pop_back();
            if (!pending.empty()) {
                if (lineHasText) out->push_back(' ');
                out->append(pending);
                lineHasText = true;
            }
        } else if ((n == 2 && (memcmp(start, "Td", 2) == 0 || memcmp(start, "TD", 2) == 0 ||
                               memcmp(start, "T*", 2) == 0 || memcmp(start, "ET", 2) == 0))) {
            endLine();
        }
        pending.clear();
    }
    endLine();
}

}  // namespace

bool ProbePdf(const char* data, size_t size, PdfFacts* facts) {
    *facts = PdfFacts{};
    const char* end = data + (size < 1024 ? size : 1024);
    const char* h = Find(data, end, "%PDF-");
    if (!h || h + 8 > data + size) return false;
    if (h[5] < '1' || h[5] > '9' || h[6] != '.' || h[7] < '0' || h[7] > '9') return false;
    facts->major = h[5] - '0';
    facts->minor = h[7] - '0';
    const char* all = data + size;
    for (const char* p = data; (p = Find(p, all, "/Type")) != nullptr;) {
        p += 5;
        while (p < all && IsSpace(*p)) p++;
        if (all - p >= 5 && memcmp(p, "/Page", 5) == 0) {
            p += 5;
            // "/Pages" is the page tree, not a page.
            if (p >= all || IsSpace(*p) || IsDelimiter(*p)) facts->pages++;
        }
    }
    return true;
}

void ExtractPdfText(const char* data, size_t size, std::string* out) {
    const char* end = data + size;
    const char* p = data;
    while ((p = Find(p, end, "stream")) != nullptr) {
        // "endstream" also contains "stream"; a stream keyword follows a dictionary's ">>".
        const char* back = p;
        while (back > data && IsSpace(back[-1])) back--;
        if (back - data < 2 || back[-1] != '>' || back[-2] != '>') {
            p += 6;
            continue;
        }
        // The stream's dictionary: back to its opening "<<" (no nesting in the dictionaries we read).
        const char* dictEnd = back;
        const char* dict = dictEnd;
        while (dict > data && !(dict[0] == '<' && dict[1] == '<')) dict--;
        bool filtered = Find(dict, dictEnd, "/Filter") != nullptr;
        const char* body = p + 6;
        if (body < end && *body == '\r') body++;
        if (body < end && *body == '\n') body++;
        const char* bodyEnd = Find(body, end, "endstream");
        if (!bodyEnd) break;
        if (!filtered) ScanContent(body, bodyEnd, out);
        p = bodyEnd + 9;
    }
}
