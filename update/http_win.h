#pragma once
// GET requests through the system's HTTP stack (WinHTTP): TLS 1.2 or later with the system's
// certificate checks, redirects (never from https to http), the user's proxy, time-outs.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "foundation/job.h"
#include "update/update_rules.h"

namespace corvandel {

// A request that did not complete: no connection, a time-out, a broken transfer, a refused
// certificate, or a stop asked for by the caller.
class HttpError : public std::runtime_error {
  public:
    HttpError(const std::string& what, uint32_t code) : std::runtime_error(what), code_(code) {}
    uint32_t Code() const { return code_; }

  private:
    uint32_t code_;
};

struct HttpOptions {
    int connectTimeoutMs = 0;  // 0: none
    int readTimeoutMs = 0;     // the longest wait for the next bytes; 0: none
    int deadlineMs = 0;        // the longest the whole request may take; 0: none
    int64_t maxBody = 0;       // a longer answer, announced or received, fails; 0: no limit
    std::optional<SystemProxy> proxy;
    // A stop asked of this job breaks the request off at once, whatever it waits for.
    const JobContext* job = nullptr;
};

struct HttpResponse {
    int status = 0;
    std::string body;
};

// Called as the body arrives with the bytes so far and the announced size (-1 when none);
// false stops the transfer, which then throws HttpError.
using HttpProgress = std::function<bool(int64_t received, int64_t expected)>;

HttpResponse HttpGet(const std::string& url, const HttpOptions& options,
                     const HttpProgress& progress = {});

}  // namespace corvandel
