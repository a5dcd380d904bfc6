#pragma once
// Stand-ins for the two servers the downloads talk to, on 127.0.0.1 and a
// free port. The quote server answers the form POST with a session cookie
// and serves the quote table on the data GET only with that cookie; the
// history server serves CSV for a query whose every key it checks. Each
// symbol can be told to misbehave instead: redirect, stall, reset, 404, 500,
// gzip, error pages of every kind, noise, a 206, a reply cut by its length,
// one that drips, an endless header line.

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace kestrava::testsupport {

enum class Misbehaviour {
    None,
    Redirect,      // one 302, with a page of its own, to a path that serves the reply
    RedirectLoop,  // 302 to itself, for ever
    Stall,         // headers sent, then nothing until the test ends
    Reset,         // announces a long body and closes after a part of it
    NotFound,      // 404
    ServerError,   // 500
    Gzip,          // the reply gzip-compressed, asked for or not
    HtmlPage,      // 200 with an HTML error page
    Empty,         // 200 with an empty body
    Huge,          // announces and sends far more than any reply may be
    UpperHtml,     // 200 with an HTML page written in capitals
    Doctype,       // 200 with a page that starts "<!DOCTYPE html>"
    PlainError,    // 200 with one line of plain text saying what went wrong
    JsonError,     // 200 with a JSON error object
    Noise,         // 200 with 200 KB of random bytes
    Partial,       // 206 with the first half of the reply
    CutByLength,   // announces, and sends, all but the last five bytes
    Drip,          // sends the reply one byte every 50 ms
    Trickle,       // sends the reply in eight pieces 10 ms apart
    HugeHeader,    // a header line of 1 MB before the reply
    Chunked,       // the reply in chunks, its size not announced
};

inline std::string Gzip(const std::string& text)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// One server thread; subclasses add their routes before Start().
class LoopbackServer {
public:
    LoopbackServer()
    {
        // One request per connection: an idle kept-alive connection would
        // hold the server's shutdown for seconds.
        server_.set_keep_alive_max_count(1);
    }
    virtual ~LoopbackServer() { Stop(); }

    void Start()
    {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void Stop()
    {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        released.notify_all();
        if (thread_.joinable()) {
            server_.stop();
            thread_.join();
        }
    }

    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string Authority() const { return "127.0.0.1:" + std::to_string(port_); }

    void SetMisbehaviour(const std::string& symbol, Misbehaviour how)
    {
        std::lock_guard lock(mutex_);
        misbehaviour_[symbol] = how;
    }

    // Every request as "METHOD target" (the path and the query as sent), in order.
    std::vector<std::string> Requests() const
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // The headers of the last request of a path.
    httplib::Headers LastHeaders(const std::string& path) const
    {
        std::lock_guard lock(mutex_);
        const auto found = lastHeaders_.find(path);
        return found == lastHeaders_.end() ? httplib::Headers() : found->second;
    }
    std::string LastVersion() const
    {
        std::lock_guard lock(mutex_);
        return lastVersion_;
    }

protected:
    void Record(const httplib::Request& req)
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(req.method + " " + req.target);
        lastHeaders_[req.path] = req.headers;
        lastVersion_ = req.version;
    }

    Misbehaviour MisbehaviourOf(const std::string& symbol) const
    {
        std::lock_guard lock(mutex_);
        const auto found = misbehaviour_.find(symbol);
        return found == misbehaviour_.end() ? Misbehaviour::None : found->second;
    }

    // Answers with body, or misbehaves as told; redirectTo serves the body
    // after a redirect.
    void Reply(const httplib::Request& req, httplib::Response& res, Misbehaviour how, const std::string& body,
               const std::string& redirectTo)
    {
        switch (how) {
        case Misbehaviour::None:
            res.set_content(body, "text/plain");
            return;
        case Misbehaviour::Redirect:
            res.set_redirect(redirectTo);
            res.set_content("<html><body>Moved to <a href=\"" + redirectTo + "\">here</a></body></html>",
                            "text/html");
            return;
        case Misbehaviour::RedirectLoop:
            res.set_redirect(req.path + (req.params.empty() ? "" : "?" + RawQuery(req)));
            return;
        case Misbehaviour::Stall:
            res.set_content_provider(
                body.size() + 1, "text/plain", [this](size_t, size_t, httplib::DataSink&) {
                    std::unique_lock lock(mutex_);
                    released.wait_for(lock, std::chrono::seconds(10), [this] { return released_; });
                    return false;
                });
            return;
        case Misbehaviour::Reset: {
            const std::string part = body.substr(0, body.size() / 2);
            res.set_content_provider(body.size() * 4, "text/plain",
                                     [part](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset > 0)
                                             return false;
                                         sink.write(part.data(), part.size());
                                         return true;
                                     });
            return;
        }
        case Misbehaviour::NotFound:
            res.status = 404;
            res.set_content("<html><body>Not found</body></html>", "text/html");
            return;
        case Misbehaviour::ServerError:
            res.status = 500;
            res.set_content("<html><body>Server error</body></html>", "text/html");
            return;
        case Misbehaviour::Gzip:
            // A type the server would not compress by itself, so it is
            // compressed once.
            res.set_header("Content-Encoding", "gzip");
            res.set_content(Gzip(body), "application/octet-stream");
            return;
        case Misbehaviour::HtmlPage:
            res.set_content("<html><head><title>Error</title></head><body>Try again later</body></html>\r\n",
                            "text/html");
            return;
        case Misbehaviour::Empty:
            res.set_content("", "text/plain");
            return;
        case Misbehaviour::UpperHtml:
            res.set_content("<HTML><HEAD><TITLE>ERROR</TITLE></HEAD><BODY>TRY AGAIN</BODY></HTML>\r\n",
                            "text/html");
            return;
        case Misbehaviour::Doctype:
            res.set_content("<!DOCTYPE html>\r\n<title>Maintenance</title>\r\n", "text/html");
            return;
        case Misbehaviour::PlainError:
            res.set_content("Error: the symbol is not known, please check it.\r\n", "text/plain");
            return;
        case Misbehaviour::JsonError:
            res.set_content("{\"error\": \"rate limit exceeded\", \"retry\": 60}\n", "application/json");
            return;
        case Misbehaviour::Noise: {
            std::string noise(200 << 10, '\0');
            std::mt19937 random(7);
            for (char& c : noise)
                c = static_cast<char>(random());
            res.set_content(noise, "application/octet-stream");
            return;
        }
        case Misbehaviour::Partial:
            res.status = 206;
            res.set_header("Content-Range", "bytes 0-" + std::to_string(body.size() / 2 - 1) + "/"
                                                + std::to_string(body.size()));
            res.set_content(body.substr(0, body.size() / 2), "text/plain");
            return;
        case Misbehaviour::CutByLength: {
            const std::string cut = body.substr(0, body.size() - 5);
            res.set_content_provider(
                cut.size(), "text/plain", [cut](size_t offset, size_t length, httplib::DataSink& sink) {
                    return sink.write(cut.data() + offset, std::min(length, cut.size() - offset));
                });
            return;
        }
        case Misbehaviour::Drip:
            res.set_content_provider(
                body.size(), "text/plain", [this, body](size_t offset, size_t, httplib::DataSink& sink) {
                    std::unique_lock lock(mutex_);
                    if (released.wait_for(lock, std::chrono::milliseconds(50), [this] { return released_; }))
                        return false;
                    lock.unlock();
                    return sink.write(body.data() + offset, 1);
                });
            return;
        case Misbehaviour::Trickle:
            res.set_content_provider(
                body.size(), "text/plain", [this, body](size_t offset, size_t, httplib::DataSink& sink) {
                    std::unique_lock lock(mutex_);
                    if (released.wait_for(lock, std::chrono::milliseconds(10), [this] { return released_; }))
                        return false;
                    lock.unlock();
                    const size_t piece = std::max<size_t>(1, body.size() / 8);
                    return sink.write(body.data() + offset, std::min(piece, body.size() - offset));
                });
            return;
        case Misbehaviour::HugeHeader:
            res.set_header("X-Padding", std::string(1 << 20, 'a'));
            res.set_content(body, "text/plain");
            return;
        case Misbehaviour::Chunked:
            res.set_chunked_content_provider("text/plain", [body](size_t offset, httplib::DataSink& sink) {
                if (offset < body.size())
                    sink.write(body.data() + offset, std::min<size_t>(1000, body.size() - offset));
                else
                    sink.done();
                return true;
            });
            return;
        case Misbehaviour::Huge: {
            const std::string block(1 << 16, 'x');
            res.set_content_provider(std::size_t{100} << 20, "application/octet-stream",
                                     [block](size_t, size_t, httplib::DataSink& sink) {
                                         return sink.write(block.data(), block.size());
                                     });
            return;
        }
        }
    }

    static std::string RawQuery(const httplib::Request& req)
    {
        const std::size_t question = req.target.find('?');
        return question == std::string::npos ? std::string() : req.target.substr(question + 1);
    }

    httplib::Server server_;
    mutable std::mutex mutex_;
    std::condition_variable released;
    bool released_ = false;

private:
    int port_ = 0;
    std::thread thread_;
    std::map<std::string, Misbehaviour> misbehaviour_;
    std::vector<std::string> requests_;
    std::map<std::string, httplib::Headers> lastHeaders_;
    std::string lastVersion_;
};

// The exchange's delayed-quote server.
class QuoteServer : public LoopbackServer {
public:
    QuoteServer()
    {
        server_.Post("/DelayedQuote/QuoteTableDownload.aspx", [this](const httplib::Request& req,
                                                                     httplib::Response& res) {
            Record(req);
            const std::string field = "txtTicker=";
            const std::size_t at = req.body.find(field);
            const std::size_t end = at == std::string::npos ? at : req.body.find('&', at);
            const bool submitted = req.body.ends_with(kSubmit);
            if (at == std::string::npos || !submitted) {
                res.status = 400;
                return;
            }
            const std::string symbol = req.body.substr(at + field.size(), end - at - field.size());
            if (const Misbehaviour how = FormMisbehaviourOf(symbol); how != Misbehaviour::None) {
                {
                    std::lock_guard lock(mutex_);
                    bodies_.push_back(req.body);
                }
                Reply(req, res, how, "<html><body>Your file is ready</body></html>", "/");
                return;
            }
            std::lock_guard lock(mutex_);
            const std::string session = std::to_string(++sessions_);
            sessionSymbols_[session] = symbol;
            bodies_.push_back(req.body);
            res.set_header("Set-Cookie", "ASP.NET_SessionId=" + session + "; path=/; HttpOnly");
            res.set_content("<html><body>Your file is ready</body></html>", "text/html");
        });
        auto data = [this](const httplib::Request& req, httplib::Response& res) {
            Record(req);
            const std::string symbol = SessionSymbol(req.get_header_value("Cookie"));
            // Without the session of a form POST the server knows no symbol.
            if (symbol.empty()) {
                res.set_content("<html><body>Your session has expired.</body></html>", "text/html");
                return;
            }
            std::string body;
            {
                std::lock_guard lock(mutex_);
                body = tables_[symbol];
            }
            Reply(req, res, req.path.ends_with("Moved.dat") ? Misbehaviour::None : MisbehaviourOf(symbol),
                  body, "/DelayedQuote/Moved.dat");
        };
        server_.Get("/DelayedQuote/QuoteData.dat", data);
        server_.Get("/DelayedQuote/Moved.dat", data);
        Start();
    }
    ~QuoteServer() override { Stop(); }

    // The quote table the data GET serves for a symbol (lower case, as sent).
    void SetTable(const std::string& symbol, const std::string& table)
    {
        std::lock_guard lock(mutex_);
        tables_[symbol] = table;
    }
    std::vector<std::string> Bodies() const
    {
        std::lock_guard lock(mutex_);
        return bodies_;
    }
    // How the form POST of a symbol (as sent) misbehaves.
    void SetFormMisbehaviour(const std::string& symbol, Misbehaviour how)
    {
        std::lock_guard lock(mutex_);
        formMisbehaviour_[symbol] = how;
    }

    static constexpr const char* kSubmit =
        "&ctl00%24ctl00%24AllContent%24ContentMain%24QuoteTableDownloadCtl1%24cmdSubmit=Download";

private:
    std::string SessionSymbol(const std::string& cookie)
    {
        const std::string name = "ASP.NET_SessionId=";
        const std::size_t at = cookie.find(name);
        if (at == std::string::npos)
            return {};
        const std::string session = cookie.substr(at + name.size(), cookie.find(';', at) - at - name.size());
        std::lock_guard lock(mutex_);
        const auto found = sessionSymbols_.find(session);
        return found == sessionSymbols_.end() ? std::string() : found->second;
    }

    Misbehaviour FormMisbehaviourOf(const std::string& symbol) const
    {
        std::lock_guard lock(mutex_);
        const auto found = formMisbehaviour_.find(symbol);
        return found == formMisbehaviour_.end() ? Misbehaviour::None : found->second;
    }

    int sessions_ = 0;
    std::map<std::string, Misbehaviour> formMisbehaviour_;
    std::map<std::string, std::string> sessionSymbols_;
    std::map<std::string, std::string> tables_;
    std::vector<std::string> bodies_;
};

// The daily-history server: "/table.csv?s=..&d=..&e=..&f=..&g=d&a=..&b=..&c=..&ignore=.csv".
class HistoryServer : public LoopbackServer {
public:
    HistoryServer()
    {
        auto table = [this](const httplib::Request& req, httplib::Response& res) {
            Record(req);
            if (!QueryIsWhole(req)) {
                res.status = 400;
                res.set_content("<html><body>Bad request</body></html>", "text/html");
                return;
            }
            const std::string symbol = req.get_param_value("s");
            std::string body;
            {
                std::lock_guard lock(mutex_);
                body = csv_[symbol];
            }
            Reply(req, res, req.path == "/moved.csv" ? Misbehaviour::None : MisbehaviourOf(symbol), body,
                  "/moved.csv?" + RawQuery(req));
        };
        server_.Get("/table.csv", table);
        server_.Get("/moved.csv", table);
        Start();
    }
    ~HistoryServer() override { Stop(); }

    // The CSV served for a symbol (lower case, as sent).
    void SetCsv(const std::string& symbol, const std::string& csv)
    {
        std::lock_guard lock(mutex_);
        csv_[symbol] = csv;
    }

private:
    // Every key present, the numbers numbers in their ranges, nothing else.
    static bool QueryIsWhole(const httplib::Request& req)
    {
        const char* const numeric[] = {"d", "e", "f", "a", "b", "c"};
        const int lowest[] = {0, 1, 1900, 0, 1, 1900};
        const int highest[] = {11, 31, 9999, 11, 31, 9999};
        if (req.params.size() != 9 || req.get_param_value("s").empty() || req.get_param_value("g") != "d"
            || req.get_param_value("ignore") != ".csv")
            return false;
        for (int i = 0; i < 6; ++i) {
            const std::string text = req.get_param_value(numeric[i]);
            char* end = nullptr;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || value < lowest[i] || value > highest[i])
                return false;
        }
        return true;
    }

    std::map<std::string, std::string> csv_;
};

// A service that answers today, fetched through a URL template: a GET of
// any path serves the body set for the symbol that its "symbol" parameter,
// or else its last path segment, names (decoded), or misbehaves as told.
class TemplateServer : public LoopbackServer {
public:
    TemplateServer()
    {
        auto serve = [this](const httplib::Request& req, httplib::Response& res) {
            Record(req);
            const std::string symbol = req.has_param("symbol") ? req.get_param_value("symbol")
                                                               : req.path.substr(req.path.rfind('/') + 1);
            std::string body;
            {
                std::lock_guard lock(mutex_);
                const auto found = bodies_.find(symbol);
                if (found == bodies_.end()) {
                    res.status = 404;
                    return;
                }
                body = found->second;
            }
            Reply(req, res, req.path.starts_with("/moved/") ? Misbehaviour::None : MisbehaviourOf(symbol),
                  body, "/moved" + req.target);
        };
        server_.Get(R"(/.*)", serve);
        Start();
    }
    ~TemplateServer() override { Stop(); }

    void SetBody(const std::string& symbol, const std::string& body)
    {
        std::lock_guard lock(mutex_);
        bodies_[symbol] = body;
    }

private:
    std::map<std::string, std::string> bodies_;
};

}  // namespace kestrava::testsupport
