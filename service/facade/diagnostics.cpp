// The layers' own diagnostics behind one door.

#include "service/facade/diagnostics.h"

#include <optional>
#include <string_view>

#include "service/core/sync.h"
#include "service/core/text.h"
#include "service/facade/facade_internal.h"
#include "service/protocol/catalog_writer.h"
#include "service/protocol/tlv_decode.h"
#include "service/zip/extract.h"

namespace MapsService {

namespace {

class CountingSink : public ExtractionSink {
public:
    CountingSink(const std::function<void(std::uint64_t)>& progress, ArchiveExtraction& done)
        : m_progress(progress), m_done(done) {}
    Result on_file_extracted(const std::wstring&, const std::wstring&) override {
        ++m_done.files;
        return kResultOk;
    }
    void on_unzip_progress(std::uint64_t bytesWritten) override {
        if (m_progress) {
            m_progress(bytesWritten);
        }
    }

private:
    const std::function<void(std::uint64_t)>& m_progress;
    ArchiveExtraction& m_done;
};

bool printable(std::wstring_view text) {
    for (wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return !text.empty();
}

// A narrow text: printable bytes closed by one zero byte.
std::optional<std::string> narrow_text(const TlvItem& item) {
    if (item.length < 2 || item.value[item.length - 1] != 0) {
        return std::nullopt;
    }
    std::string text(reinterpret_cast<const char*>(item.value), item.length - 1u);
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
    }
    return text;
}

std::string describe_value(const TlvItem& item) {
    std::string out;
    if (item.length == 1 || item.length == 2 || item.length == 4 || item.length == 8) {
        unsigned long long number = 0;
        for (int i = item.length - 1; i >= 0; --i) {
            number = (number << 8) | item.value[i];
        }
        out = "number " + std::to_string(number);
    }
    // A value may read both ways (65 is also the wide "A"); show each reading that fits.
    if (auto wide = Decode::value_wide_string(item); wide && printable(*wide)) {
        out += (out.empty() ? "" : "  ") + std::string("text \"") + to_narrow(*wide) + "\"";
    } else if (auto narrow = narrow_text(item)) {
        out += (out.empty() ? "" : "  ") + std::string("text \"") + *narrow + "\"";
    }
    if (out.empty() && item.length > 0) {
        out = "hex " + to_hex(std::vector<std::uint8_t>(item.value, item.value + item.length));
    }
    return out;
}

}  // namespace

Result extract_archive(const std::wstring& archive, const std::wstring& folder,
                       const std::function<void(std::uint64_t)>& progress,
                       ArchiveExtraction& done) {
    return guarded("extract_archive", [&] {
        done = ArchiveExtraction();
        const CancellableOperation operation;
        CountingSink sink(progress, done);
        ExtractionContext context(sink);
        const Result result = extract(archive, folder, context);
        done.bytesWritten = context.bytesWritten;
        return result;
    });
}

std::uint64_t archive_uncompressed_size(const std::wstring& archive) {
    std::uint64_t size = 0;
    (void)guarded("archive_uncompressed_size", [&] {
        size = uncompressed_size(archive);
        return kResultOk;
    });
    return size;
}

TlvListing list_tlv(const std::vector<char>& content, TlvForm form) {
    const int mode = form == TlvForm::Hex   ? Decode::kHex
                     : form == TlvForm::Raw ? Decode::kBinary
                                            : Decode::kDetect;
    const Decode decoder(content.data(), content.size(), mode);
    TlvListing listing{decoder.hex(), decoder.complete(), {}};
    for (const TlvItem& item : decoder.items()) {
        listing.entries.push_back({item.tag, item.length, describe_value(item)});
    }
    return listing;
}

}  // namespace MapsService
