#include "update/http_win.h"

#include <windows.h>

#include <winhttp.h>

#include <atomic>
#include <utility>
#include <vector>

#include "foundation/error_text_win.h"
#include "foundation/system_library_win.h"
#include "foundation/win_text.h"

namespace corvandel {

namespace {

constexpr const wchar_t* kUserAgent =
    L"Mozilla/5.0 (Windows NT 6.1; WOW64;rv:12.0) Gecko/20100101 Firefox/12.0";
constexpr const wchar_t* kAcceptHeader =
    L"Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";

class Internet {
  public:
    explicit Internet(HINTERNET handle) : handle_(handle) {}
    ~Internet() {
        if (handle_ != nullptr)
            CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpCloseHandle)(handle_);
    }
    Internet(const Internet&) = delete;
    Internet& operator=(const Internet&) = delete;
    HINTERNET Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Forget() { handle_ = nullptr; }

  private:
    HINTERNET handle_;
};

// While it lives, a stop of the job closes the request's handle, which ends the wait of a
// request call on the job's thread. Made after the request and gone before it.
class StopHook {
  public:
    StopHook(const JobContext* job, Internet& request) : job_(job), request_(request) {
        if (job_ == nullptr)
            return;
        const HINTERNET handle = request.Get();
        job_->SetInterrupt([this, handle] {
            CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpCloseHandle)(handle);
            closed_ = true;
        });
    }
    ~StopHook() {
        if (job_ == nullptr)
            return;
        job_->SetInterrupt({});  // once this returns, the owner's thread closes nothing more
        if (closed_)
            request_.Forget();
    }
    StopHook(const StopHook&) = delete;
    StopHook& operator=(const StopHook&) = delete;

  private:
    const JobContext* job_;
    Internet& request_;
    std::atomic<bool> closed_{false};
};

[[noreturn]] void Fail(const char* step) {
    const DWORD code = GetLastError();
    throw HttpError(std::string(step) + ": " + SystemErrorText(code), code);
}

}  // namespace

HttpResponse HttpGet(const std::string& url, const HttpOptions& options,
                     const HttpProgress& progress) {
    const ULONGLONG started = GetTickCount64();
    const auto checkDeadline = [&] {
        if (options.deadlineMs > 0 &&
            GetTickCount64() - started > static_cast<ULONGLONG>(options.deadlineMs)) {
            throw HttpError("the answer took too long", ERROR_TIMEOUT);
        }
    };
    std::wstring proxyName;
    if (options.proxy && options.proxy->enabled)
        proxyName = Widen(options.proxy->server) + L":" + std::to_wstring(options.proxy->port);
    const Internet session(CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpOpen)(
        kUserAgent,
        proxyName.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
        proxyName.empty() ? WINHTTP_NO_PROXY_NAME : proxyName.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        Fail("WinHttpOpen");
    // TLS 1.2 at least; 1.3 where the system has it.
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpSetOption)(
            session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpSetOption)
        (session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
    // The name lookup is bounded as the connection is.
    CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpSetTimeouts)
    (session.Get(), options.connectTimeoutMs, options.connectTimeoutMs, options.connectTimeoutMs,
     options.readTimeoutMs);

    const std::wstring wideUrl = Widen(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    if (!CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpCrackUrl)(wideUrl.c_str(), 0, 0, &parts))
        Fail("WinHttpCrackUrl");
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    const Internet connection(CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpConnect)(
        session.Get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        Fail("WinHttpConnect");
    Internet request(CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpOpenRequest)(
        connection.Get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        Fail("WinHttpOpenRequest");
    const StopHook stopHook(options.job, request);
    if (options.job != nullptr && options.job->Stopping())
        throw HttpError("stopped", ERROR_CANCELLED);
    // The read time-out covers the wait for the answer's headers too.
    if (options.readTimeoutMs > 0) {
        DWORD headers = static_cast<DWORD>(options.readTimeoutMs);
        CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpSetOption)
        (request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headers, sizeof headers);
    }
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpSetOption)
    (request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    if (!CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpSendRequest)(
            request.Get(), kAcceptHeader, static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, 0,
            0) ||
        !CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpReceiveResponse)(request.Get(), nullptr)) {
        Fail("request");
    }

    HttpResponse response;
    DWORD status = 0;
    DWORD size = sizeof status;
    CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpQueryHeaders)
    (request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
     WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    response.status = static_cast<int>(status);
    int64_t expected = -1;
    wchar_t length[32] = {};
    size = sizeof length;
    if (CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpQueryHeaders)(
            request.Get(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, length,
            &size, WINHTTP_NO_HEADER_INDEX))
        expected = _wcstoi64(length, nullptr, 10);
    const auto tooLarge = [&](int64_t size) {
        return options.maxBody > 0 && size > options.maxBody;
    };
    if (tooLarge(expected))
        throw HttpError("the answer is too large", ERROR_FILE_TOO_LARGE);
    checkDeadline();

    if (progress && !progress(0, expected))
        throw HttpError("stopped", ERROR_CANCELLED);
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpReadData)(
                request.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read))
            Fail("WinHttpReadData");
        if (read == 0)
            break;
        if (tooLarge(static_cast<int64_t>(response.body.size()) + read))
            throw HttpError("the answer is too large", ERROR_FILE_TOO_LARGE);
        response.body.append(chunk.data(), read);
        checkDeadline();
        if (options.job != nullptr && options.job->Stopping())
            throw HttpError("stopped", ERROR_CANCELLED);
        if (progress && !progress(static_cast<int64_t>(response.body.size()), expected))
            throw HttpError("stopped", ERROR_CANCELLED);
    }
    // A connection that ends before the announced size is a broken transfer, not a package.
    if (expected >= 0 && static_cast<int64_t>(response.body.size()) < expected)
        throw HttpError("the connection ended early", ERROR_HANDLE_EOF);
    return response;
}

}  // namespace corvandel
