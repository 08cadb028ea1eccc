// The LZMA candidates for patches between two versions of a file, for bench/patch_bench.sh:
//   patch_candidates bcj <in> <out>                  the x86 branch filter alone (calls and
//                                                    jumps made absolute)
//   patch_candidates encode [--bcj] <old> <new> <out>  LZMA2 at its strongest setting, the old
//                                                    file as its preset dictionary
//   patch_candidates decode [--bcj] <old> <patch> <out>
//   patch_candidates full [--bcj] <new> <out>         the same without a dictionary: what a
//                                                    full installer's archive carries
// With --bcj both sides are filtered: the dictionary is the filtered old file and the new
// file goes through the filter before LZMA2, so that moved code changes fewer bytes.
#include <lzma.h>
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {
using Bytes = std::vector<uint8_t>;

bool ReadAll(const char* path, Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fprintf(stderr, "cannot read %s\n", path);
        return false;
    }
    out->assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

bool WriteAll(const char* path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
    return (bool)out;
}

bool Encode(const lzma_filter* filters, const Bytes& in, Bytes* out) {
    out->resize(in.size() + in.size() / 2 + 4096);
    size_t pos = 0;
    lzma_ret r = lzma_raw_buffer_encode(filters, nullptr, in.data(), in.size(), out->data(), &pos, out->size());
    if (r != LZMA_OK) {
        fprintf(stderr, "encoding failed: %d\n", (int)r);
        return false;
    }
    out->resize(pos);
    return true;
}

bool Decode(const lzma_filter* filters, const Bytes& in, size_t outSize, Bytes* out) {
    out->resize(outSize);
    size_t inPos = 0, outPos = 0;
    lzma_ret r = lzma_raw_buffer_decode(filters, nullptr, in.data(), &inPos, in.size(), out->data(), &outPos, out->size());
    if (r != LZMA_OK && r != LZMA_BUF_ERROR) {
        fprintf(stderr, "decoding failed: %d\n", (int)r);
        return false;
    }
    out->resize(outPos);
    return true;
}

// liblzma offers the branch filter only in front of a compressor: encoding through both and
// decoding with the compressor alone gives the filtered bytes.
bool Bcj(const Bytes& in, Bytes* out) {
    lzma_options_lzma fast;
    lzma_lzma_preset(&fast, 0);
    lzma_filter both[] = {{LZMA_FILTER_X86, nullptr}, {LZMA_FILTER_LZMA2, &fast}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_filter lzma2[] = {{LZMA_FILTER_LZMA2, &fast}, {LZMA_VLI_UNKNOWN, nullptr}};
    Bytes packed;
    return Encode(both, in, &packed) && Decode(lzma2, packed, in.size(), out);
}

// The strongest setting, with a window that holds the dictionary and the whole new file.
lzma_options_lzma Strongest(const Bytes* dict, size_t newSize) {
    lzma_options_lzma o;
    lzma_lzma_preset(&o, 9 | LZMA_PRESET_EXTREME);
    size_t want = (dict ? dict->size() : 0) + newSize;
    while (o.dict_size < want && o.dict_size < (1u << 30)) {
        o.dict_size *= 2;
    }
    if (dict) {
        o.preset_dict = dict->data();
        o.preset_dict_size = (uint32_t)dict->size();
    }
    return o;
}

void Chain(bool bcj, lzma_options_lzma* o, lzma_filter* filters) {
    int n = 0;
    if (bcj) {
        filters[n++] = {LZMA_FILTER_X86, nullptr};
    }
    filters[n++] = {LZMA_FILTER_LZMA2, o};
    filters[n] = {LZMA_VLI_UNKNOWN, nullptr};
}

// The patch starts with the new file's size, which the raw stream does not carry.
int EncodeCommand(bool bcj, const char* oldPath, const char* newPath, const char* outPath, bool withDict) {
    Bytes old, cur, dict, packed;
    if ((withDict && !ReadAll(oldPath, &old)) || !ReadAll(newPath, &cur)) {
        return 1;
    }
    if (withDict && bcj && !Bcj(old, &dict)) {
        return 1;
    }
    const Bytes* d = withDict ? (bcj ? &dict : &old) : nullptr;
    lzma_options_lzma o = Strongest(d, cur.size());
    lzma_filter filters[3];
    Chain(bcj, &o, filters);
    if (!Encode(filters, cur, &packed)) {
        return 1;
    }
    Bytes out(8);
    uint64_t size = cur.size();
    memcpy(out.data(), &size, 8);
    out.insert(out.end(), packed.begin(), packed.end());
    return WriteAll(outPath, out) ? 0 : 1;
}

int DecodeCommand(bool bcj, const char* oldPath, const char* patchPath, const char* outPath) {
    Bytes old, patch, dict, cur;
    if (!ReadAll(oldPath, &old) || !ReadAll(patchPath, &patch) || patch.size() < 8) {
        return 1;
    }
    if (bcj && !Bcj(old, &dict)) {
        return 1;
    }
    uint64_t size = 0;
    memcpy(&size, patch.data(), 8);
    lzma_options_lzma o = Strongest(bcj ? &dict : &old, size);
    lzma_filter filters[3];
    Chain(bcj, &o, filters);
    Bytes packed(patch.begin() + 8, patch.end());
    return Decode(filters, packed, size, &cur) && WriteAll(outPath, cur) ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool bcj = false;
    if (args.size() >= 2 && args[1] == "--bcj") {
        bcj = true;
        args.erase(args.begin() + 1);
    }
    if (args.size() == 3 && args[0] == "bcj") {
        Bytes in, out;
        return ReadAll(args[1].c_str(), &in) && Bcj(in, &out) && WriteAll(args[2].c_str(), out) ? 0 : 1;
    }
    if (args.size() == 4 && args[0] == "encode") {
        return EncodeCommand(bcj, args[1].c_str(), args[2].c_str(), args[3].c_str(), true);
    }
    if (args.size() == 4 && args[0] == "decode") {
        return DecodeCommand(bcj, args[1].c_str(), args[2].c_str(), args[3].c_str());
    }
    if (args.size() == 3 && args[0] == "full") {
        return EncodeCommand(bcj, nullptr, args[1].c_str(), args[2].c_str(), false);
    }
    fprintf(stderr, "usage: patch_candidates bcj|encode|decode|full [--bcj] files...\n");
    return 2;
}
