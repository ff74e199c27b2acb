#pragma once
// HTTP(S) requests through libcurl: a whole answer held in memory, or a body written to a
// file with its progress. A transfer fails after a span without data (its idle limit), and
// after its deadline for the whole transfer, however it moves; a body is bounded in size.
// Only http and https are spoken, redirects included; proxies come from the usual
// environment variables.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Files.h"

namespace norvane {

struct HttpRequest {
    std::string url;
    std::string accept;     // the Accept header
    double idleLimit = 30;  // seconds without data before the transfer fails
    double deadline = 600;  // seconds for the whole transfer, connecting included
};

struct HttpResponse {
    long status = 0;
    std::string body;
};

// A GET. Absent on every transport failure: no connection, the idle limit, a body shorter
// than announced, one longer than `maxBody`, a URL that is not http or https.
std::optional<HttpResponse> httpGet(const HttpRequest& request, std::size_t maxBody);

// Bytes written so far, and the length the answer announced (absent without one).
using HttpProgress = std::function<void(std::uint64_t written, std::optional<std::uint64_t> expected)>;

// A GET whose body goes into `file` (created or emptied); `progress` hears after every
// piece written. The status, or absent on a transport failure, when the file cannot be
// written, or when the body is longer than `maxBytes` — refused at once when the answer
// announces such a length, else as soon as that much has come.
std::optional<long> httpDownload(const HttpRequest& request, const Path& file, const HttpProgress& progress,
                                 std::uint64_t maxBytes);

// Whether the text parses as an absolute URL: a scheme, then what that scheme takes.
bool isUrl(std::string_view text);

// Sets the transfer library up. A program calls it first thing on its main thread: set up
// lazily on a worker instead, its one-time state would belong to a thread that may still
// be alive at exit, and never be freed.
void prepareHttp();

}  // namespace norvane
