#include "downloadcore/HTTPer.h"

#include "common/textescape.h"

#include <curl/curl.h>

#include <charconv>
#include <chrono>
#include <cstring>
#include <mutex>
#include <ostream>

namespace kestrava {
namespace {

using Clock = std::chrono::steady_clock;

// While nobody waits for the events, a longer sleep on the socket costs
// nothing; with a window waiting, it should repaint without a lag.
constexpr int kPollWithHookMs = 20;
constexpr int kPollWithoutHookMs = 100;

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string TrimLineEnd(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void Add(const char* name, const std::string& value)
    {
        if (!value.empty())
            list = curl_slist_append(list, (std::string(name) + ": " + value).c_str());
    }
    // "Name:" with nothing after it keeps curl from sending its own header.
    void Suppress(const char* name) { list = curl_slist_append(list, (std::string(name) + ":").c_str()); }
};

}  // namespace

struct HTTPer::Handles {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    ~Handles()
    {
        if (multi)
            curl_multi_cleanup(multi);
        if (easy)
            curl_easy_cleanup(easy);
    }
};

struct HTTPer::Transfer {
    HTTPer* client = nullptr;
    std::string url;
    const std::string* body = nullptr;  // POST
    std::ostream* out = nullptr;

    int status = 0;
    std::string statusLine;
    std::int64_t received = 0;
    curl_off_t lastUp = -1;
    curl_off_t lastDown = -1;
    bool connected = false;
    bool readBegun = false;
    bool writeBegun = false;
    bool writeEnded = false;
    bool tooLarge = false;
    bool writeFailed = false;
    bool statusRefused = false;
    Clock::time_point lastActivity = Clock::now();
    char errorText[CURL_ERROR_SIZE] = {};

    void Touch() { lastActivity = Clock::now(); }

    void EndWrite()
    {
        if (writeBegun && !writeEnded) {
            writeEnded = true;
            if (client->OnWorkEnd)
                client->OnWorkEnd(WorkMode::Write);
        }
    }

    void BeginRead(CURL* easy)
    {
        readBegun = true;
        curl_off_t expected = -1;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
        if (expected > client->MaxReplyBytes)
            tooLarge = true;
        if (client->OnWorkBegin)
            client->OnWorkBegin(WorkMode::Read, expected);
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self)
    {
        auto& t = *static_cast<Transfer*>(self);
        const size_t n = size * count;
        t.Touch();
        t.EndWrite();
        // Every reply, also one that is followed elsewhere, starts with its
        // status line.
        if (n > 5 && std::strncmp(data, "HTTP/", 5) == 0) {
            t.statusLine = TrimLineEnd(std::string(data, n));
            // A status beyond int counts as none, which refuses the reply.
            const std::size_t blank = t.statusLine.find(' ');
            t.status = 0;
            if (blank != std::string::npos)
                std::from_chars(t.statusLine.data() + blank + 1, t.statusLine.data() + t.statusLine.size(),
                                t.status);
        }
        return n;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* self)
    {
        auto& t = *static_cast<Transfer*>(self);
        const size_t n = size * count;
        t.Touch();
        const bool redirect = t.status >= 300 && t.status < 400;
        // The body of a redirect that is being followed is nobody's data.
        if (redirect && t.client->Options.HandleRedirects)
            return n;
        // A partial content (206) or any other success but 200 is no whole reply.
        if (t.status != 200) {
            t.statusRefused = true;
            return 0;
        }
        if (!t.readBegun)
            t.BeginRead(t.client->handles_->easy);
        if (t.tooLarge || t.received + static_cast<std::int64_t>(n) > t.client->MaxReplyBytes) {
            t.tooLarge = true;
            return 0;
        }
        t.received += static_cast<std::int64_t>(n);
        t.out->write(data, static_cast<std::streamsize>(n));
        if (!*t.out) {
            t.writeFailed = true;
            return 0;
        }
        return n;
    }

    static int OnProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
    {
        auto& t = *static_cast<Transfer*>(self);
        if (uploaded != t.lastUp) {
            t.lastUp = uploaded;
            t.Touch();
            if (t.writeBegun && !t.writeEnded && t.client->OnWork)
                t.client->OnWork(WorkMode::Write, uploaded);
        }
        if (downloaded != t.lastDown) {
            t.lastDown = downloaded;
            t.Touch();
            if (t.readBegun && t.client->OnWork)
                t.client->OnWork(WorkMode::Read, downloaded);
        }
        return 0;
    }

    // A connection stands (new or reused): the read time-out counts from here.
    static int OnConnected(void* self, char*, char*, int, int)
    {
        auto& t = *static_cast<Transfer*>(self);
        t.connected = true;
        t.Touch();
        return CURL_PREREQFUNC_OK;
    }
};

HTTPer::HTTPer() : handles_(std::make_unique<Handles>())
{
    InitCurlOnce();
    handles_->easy = curl_easy_init();
    handles_->multi = curl_multi_init();
}

HTTPer::~HTTPer() = default;

void HTTPer::Get(const std::string& url, std::ostream& out)
{
    Transfer transfer;
    transfer.url = url;
    transfer.out = &out;
    Perform(transfer);
}

void HTTPer::Post(const std::string& url, const std::string& body, std::ostream& out)
{
    Transfer transfer;
    transfer.url = url;
    transfer.body = &body;
    transfer.out = &out;
    Perform(transfer);
}

void HTTPer::CheckRequestValues(const std::string& url) const
{
    // A line end in a header's value would add headers of its own; a blank or
    // a control character in the address, a request line of the server's choosing.
    const std::pair<const char*, const std::string*> values[] = {
        {"address", &url},
        {"Host header", &Request.Host},
        {"Referer header", &Request.Referer},
        {"Content-Type header", &Request.ContentType},
        {"User-Agent header", &Request.UserAgent},
        {"Accept header", &Request.Accept},
        {"Accept-Charset header", &Request.AcceptCharset},
        {"Accept-Language header", &Request.AcceptLanguage},
        {"Connection header", &Request.Connection},
    };
    for (const auto& [what, value] : values) {
        // Header values may hold blanks ("Mozilla/5.0 (Windows NT 5.1; ...)").
        const std::string problem = RequestValueProblem(*value, value != &url);
        if (!problem.empty())
            throw HttpError(std::string("The request's ") + what + " cannot be sent: " + problem + ".");
    }
}

void HTTPer::Perform(Transfer& t)
{
    if (aborted_)
        throw HttpAbort();
    if (!handles_->easy || !handles_->multi)
        throw HttpNetworkError("The HTTP library could not be started.");
    // The idle hook may run a command that asks for another request.
    if (busy_)
        throw HttpError("The HTTP client is still busy with another request.");
    CheckRequestValues(t.url);
    busy_ = true;
    struct BusyReset {
        bool& flag;
        ~BusyReset() { flag = false; }
    } busyReset{busy_};
    t.client = this;

    CURL* easy = handles_->easy;
    // Every option a request uses is set for each request, so nothing of the
    // last one lingers. (A reset would drop the started cookie engine's list
    // without freeing it.)
    curl_easy_setopt(easy, CURLOPT_URL, t.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.errorText);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                     Options.ProtocolVersion == HttpVersion::Http10
                         ? static_cast<long>(CURL_HTTP_VERSION_1_0)
                         : static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(Options.ConnectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, Options.HandleRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(Options.RedirectMaximum));
    // The cookie engine, once started, stays on through the resets and keeps
    // what it holds; starting it again each time would only pile up lists.
    if (Options.AllowCookies && !cookiesOn_) {
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        cookiesOn_ = true;
    }

    HeaderList headers;
    headers.Add("Host", Request.Host);
    headers.Add("Referer", Request.Referer);
    headers.Add("Content-Type", Request.ContentType);
    headers.Add("User-Agent", Request.UserAgent);
    headers.Add("Accept", Request.Accept);
    headers.Add("Accept-Charset", Request.AcceptCharset);
    headers.Add("Accept-Language", Request.AcceptLanguage);
    headers.Add("Connection", Request.Connection);
    headers.Suppress("Expect");
    // Every encoding curl knows is decoded; the header itself goes out only
    // when the request names one.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, Request.AcceptEncoding.c_str());
    if (Request.AcceptEncoding.empty())
        headers.Suppress("Accept-Encoding");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Transfer::OnConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &t);

    if (t.body) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.body->size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, t.body->data());
        t.writeBegun = true;
        if (OnWorkBegin)
            OnWorkBegin(WorkMode::Write, static_cast<std::int64_t>(t.body->size()));
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }

    CURLM* multi = handles_->multi;
    curl_multi_add_handle(multi, easy);
    // Also when the idle hook throws; no pointer into this request stays
    // with the handle.
    struct Attached {
        CURLM* multi;
        CURL* easy;
        ~Attached()
        {
            curl_multi_remove_handle(multi, easy);
            curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
            curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, nullptr);
        }
    } attached{multi, easy};
    bool stopped = false;
    bool timedOut = false;
    bool pastDeadline = false;
    const auto readTimeout = std::chrono::milliseconds(Options.ReadTimeoutMs);
    const auto deadline = Clock::now() + std::chrono::milliseconds(Options.DeadlineMs);
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK || running == 0)
            break;
        if (OnIdle)
            OnIdle();
        if (aborted_) {
            stopped = true;
            break;
        }
        if (t.connected && Options.ReadTimeoutMs > 0 && Clock::now() - t.lastActivity > readTimeout) {
            timedOut = true;
            break;
        }
        // The read time-out starts again on every byte; this does not.
        if (Options.DeadlineMs > 0 && Clock::now() > deadline) {
            pastDeadline = true;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, OnIdle ? kPollWithHookMs : kPollWithoutHookMs, nullptr);
    }
    CURLcode result = CURLE_OK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left))
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;

    // Compared with the bytes as they came, before any decoding.
    curl_off_t announced = -1;
    curl_off_t arrived = 0;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &arrived);

    t.EndWrite();
    const bool replied = !stopped && !timedOut && !pastDeadline && result == CURLE_OK && t.status == 200;
    if (replied && !t.readBegun)
        t.BeginRead(easy);  // an empty body is a transfer too
    if (t.readBegun && OnWorkEnd)
        OnWorkEnd(WorkMode::Read);

    if (stopped)
        throw HttpAbort();
    if (timedOut)
        throw HttpNetworkError("Read timed out.");
    if (pastDeadline)
        throw HttpNetworkError("The server had not sent the whole reply after "
                               + (Options.DeadlineMs % 1000 == 0
                                      ? std::to_string(Options.DeadlineMs / 1000) + " s"
                                      : std::to_string(Options.DeadlineMs) + " ms")
                               + ", the deadline of a request.");
    if (t.tooLarge)
        throw HttpTooLarge("The reply is larger than " + std::to_string(MaxReplyBytes >> 20) + " MB.");
    if (t.writeFailed)
        throw std::runtime_error("The reply could not be written to its file.");
    if (t.statusRefused || (result == CURLE_OK && !replied))
        throw HttpNetworkError(
            (t.statusLine.empty() ? "HTTP status " + std::to_string(t.status) : t.statusLine)
                + (t.status >= 200 && t.status < 300 ? " (only a whole reply, status 200, is taken)" : ""),
            t.status);
    // The header arrives whole before any of the body; the library has no
    // other reason to run out of memory there.
    if (result == CURLE_OUT_OF_MEMORY && !t.readBegun)
        throw HttpNetworkError("The reply's header was too long.");
    if (result != CURLE_OK)
        throw HttpNetworkError(t.errorText[0] ? std::string(t.errorText) : curl_easy_strerror(result));
    if (announced >= 0 && arrived != announced)
        throw HttpNetworkError("The reply announced " + std::to_string(announced) + " bytes and brought "
                               + std::to_string(arrived) + ".");
}

}  // namespace kestrava
