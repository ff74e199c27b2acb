#include "platform/Http.h"

#include <curl/curl.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <memory>

namespace norvane {
namespace {

using Clock = std::chrono::steady_clock;

bool curlReady() {
    // Thread-safe since curl 7.84; made once for the whole process.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

// Ends a transfer that has moved no byte for longer than its idle limit. curl asks at least
// about once a second, also while it connects.
struct IdleWatch {
    double limit;
    Clock::time_point lastData = Clock::now();
    curl_off_t lastCount = 0;

    static int check(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
        auto& watch = *static_cast<IdleWatch*>(self);
        const auto now = Clock::now();
        if (downloaded + uploaded != watch.lastCount) {
            watch.lastCount = downloaded + uploaded;
            watch.lastData = now;
            return 0;
        }
        return std::chrono::duration<double>(now - watch.lastData).count() > watch.limit ? 1 : 0;
    }
};

struct Easy {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle{nullptr, curl_easy_cleanup};
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers{nullptr, curl_slist_free_all};
    IdleWatch watch;

    explicit Easy(const HttpRequest& request) : watch{request.idleLimit} {
        if (!curlReady() || request.url.find('\0') != std::string::npos) return;
        handle.reset(curl_easy_init());
        if (!handle) return;
        headers.reset(curl_slist_append(nullptr, ("Accept: " + request.accept).c_str()));
        CURL* h = handle.get();
        // A limit that is no finite positive number counts as none at all.
        const double limit = std::isfinite(request.idleLimit) && request.idleLimit > 0 ? request.idleLimit : 0;
        watch.limit = limit > 0 ? limit : HUGE_VAL;
        curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 16L);
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        if (limit > 0 && limit < 86400)
            curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::ceil(limit * 1000)));
        // The whole transfer's deadline; none that is no finite positive number of seconds.
        if (std::isfinite(request.deadline) && request.deadline > 0 && request.deadline < 86400 * 7)
            curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(std::ceil(request.deadline * 1000)));
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &IdleWatch::check);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &watch);
    }

    // The final answer's status, or absent when the transfer failed.
    std::optional<long> perform() {
        if (!handle || curl_easy_perform(handle.get()) != CURLE_OK) return std::nullopt;
        long status = 0;
        curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
        return status;
    }
};

struct MemoryBody {
    std::string bytes;
    std::size_t limit;
    static std::size_t write(char* data, std::size_t size, std::size_t count, void* self) {
        auto& body = *static_cast<MemoryBody*>(self);
        const std::size_t n = size * count;
        if (n > body.limit - body.bytes.size()) return 0;  // curl then fails the transfer
        body.bytes.append(data, n);
        return n;
    }
};

struct FileBody {
    std::FILE* file;
    CURL* handle;
    const HttpProgress& progress;
    std::uint64_t limit;
    std::uint64_t written = 0;
    static std::size_t write(char* data, std::size_t size, std::size_t count, void* self) {
        auto& body = *static_cast<FileBody*>(self);
        const std::size_t n = size * count;
        curl_off_t length = -1;
        curl_easy_getinfo(body.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        // Past the limit, or announced past it: curl then fails the transfer.
        if (n > body.limit - body.written || (length >= 0 && static_cast<std::uint64_t>(length) > body.limit)) return 0;
        if (std::fwrite(data, 1, n, body.file) != n) return 0;
        body.written += n;
        if (body.progress)
            body.progress(body.written, length >= 0 ? std::optional(static_cast<std::uint64_t>(length)) : std::nullopt);
        return n;
    }
};

}  // namespace

void prepareHttp() {
    curlReady();
}

std::optional<HttpResponse> httpGet(const HttpRequest& request, std::size_t maxBody) {
    Easy easy(request);
    if (!easy.handle) return std::nullopt;
    MemoryBody body{{}, maxBody};
    curl_easy_setopt(easy.handle.get(), CURLOPT_WRITEFUNCTION, &MemoryBody::write);
    curl_easy_setopt(easy.handle.get(), CURLOPT_WRITEDATA, &body);
    const auto status = easy.perform();
    if (!status) return std::nullopt;
    return HttpResponse{*status, std::move(body.bytes)};
}

std::optional<long> httpDownload(const HttpRequest& request, const Path& file, const HttpProgress& progress,
                                 std::uint64_t maxBytes) {
    Easy easy(request);
    if (!easy.handle) return std::nullopt;
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> stream(std::fopen(file.c_str(), "wbe"), std::fclose);
    if (!stream) return std::nullopt;
    // curl refuses an announced length above it before any byte of the body.
    curl_easy_setopt(easy.handle.get(), CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(std::min<std::uint64_t>(maxBytes, INT64_MAX)));
    FileBody body{stream.get(), easy.handle.get(), progress, maxBytes};
    curl_easy_setopt(easy.handle.get(), CURLOPT_WRITEFUNCTION, &FileBody::write);
    curl_easy_setopt(easy.handle.get(), CURLOPT_WRITEDATA, &body);
    const auto status = easy.perform();
    if (std::fflush(stream.get()) != 0) return std::nullopt;
    return status;
}

bool isUrl(std::string_view text) {
    if (!curlReady() || text.empty() || text.find('\0') != std::string_view::npos) return false;
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
    return url &&
           curl_url_set(url.get(), CURLUPART_URL, std::string(text).c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
}

}  // namespace norvane
