// network.cpp -- HTTP requests made in the background for what never enters play (a board of
// records): each request runs on a thread of its own with libcurl, and the game asks after it
// between frames, so no frame ever waits on the network. A build without libcurl answers every
// request with 0: no network.
#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "engine.hpp"

#if defined(BRISEL_HAVE_CURL)
#include <curl/curl.h>
#endif

namespace brisel {

namespace {

constexpr size_t kMostBody = size_t(4) << 20;

struct Request {
    std::string url, fields, fileField, file;
    std::atomic<bool> cancel{false};
    std::atomic<int64_t> status{0};  // set last, once body is complete
    std::string body;
    std::thread thread;
};

std::mutex g_lock;  // the tables below; only the game's thread touches them, the guard is cheap
std::map<int64_t, std::shared_ptr<Request>> g_requests;
std::vector<std::shared_ptr<Request>> g_abandoned;  // freed while going on: joined once done

#if defined(BRISEL_HAVE_CURL)
int64_t g_next = 1;

size_t Collect(char* data, size_t size, size_t count, void* user) {
    Request& r = *static_cast<Request*>(user);
    const size_t n = size * count;
    if (r.body.size() + n > kMostBody) return 0;  // too large: the transfer fails
    r.body.append(data, n);
    return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Request*>(user)->cancel.load() ? 1 : 0;
}

void Run(Request& r) {
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        r.body = "the network library could not start";
        r.status.store(-1);
        return;
    }
    char error[CURL_ERROR_SIZE] = "";
    curl_mime* mime = nullptr;
    curl_easy_setopt(curl, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 5L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &r);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Brisel/" BRISEL_VERSION);
    if (!r.fields.empty() || !r.file.empty()) {
        mime = curl_mime_init(curl);
        size_t from = 0;
        while (from < r.fields.size()) {
            size_t end = r.fields.find('\n', from);
            if (end == std::string::npos) end = r.fields.size();
            const std::string line = r.fields.substr(from, end - from);
            from = end + 1;
            const size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            curl_mimepart* part = curl_mime_addpart(mime);
            curl_mime_name(part, line.substr(0, eq).c_str());
            curl_mime_data(part, line.c_str() + eq + 1, CURL_ZERO_TERMINATED);
        }
        if (!r.file.empty()) {
            curl_mimepart* part = curl_mime_addpart(mime);
            curl_mime_name(part, r.fileField.empty() ? "file" : r.fileField.c_str());
            curl_mime_type(part, "text/plain");
            if (curl_mime_filedata(part, r.file.c_str()) != CURLE_OK) {
                r.body = r.file + ": cannot be read";
                curl_mime_free(mime);
                curl_easy_cleanup(curl);
                r.status.store(-1);
                return;
            }
        }
        curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
    }
    const CURLcode result = curl_easy_perform(curl);
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    if (mime != nullptr) curl_mime_free(mime);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK || code <= 0) {
        r.body = r.url + ": " + (error[0] != '\0' ? error : curl_easy_strerror(result));
        r.status.store(-1);
        return;
    }
    r.status.store(code);
}
#endif

void Join(Request& r) {
    r.cancel = true;
    if (r.thread.joinable()) r.thread.join();
}

#if defined(BRISEL_HAVE_CURL)
// The requests freed while going on that have ended since.
void Reap() {
    for (auto& r : g_abandoned)
        if (r->status.load() != 0) Join(*r);
    g_abandoned.erase(std::remove_if(g_abandoned.begin(), g_abandoned.end(),
                                     [](const std::shared_ptr<Request>& r) { return !r->thread.joinable(); }),
                      g_abandoned.end());
}
#endif

// Unloading the library stops what still goes on, so no thread runs in code that is gone.
struct StopAtUnload {
    ~StopAtUnload() { StopRequests(); }
} g_stopAtUnload;

}  // namespace

void StopRequests() {
    std::lock_guard<std::mutex> hold(g_lock);
    for (auto& [id, r] : g_requests) Join(*r);
    for (auto& r : g_abandoned) Join(*r);
    g_requests.clear();
    g_abandoned.clear();
}

}  // namespace brisel

extern "C" {

int64_t HttpStart(const char* url, const char* fields, const char* fileField, const char* file) {
    BRISEL_ENTRY;
#if defined(BRISEL_HAVE_CURL)
    using namespace brisel;
    if (url == nullptr) return 0;
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    std::lock_guard<std::mutex> hold(g_lock);
    Reap();
    auto r = std::make_shared<Request>();
    r->url = url;
    r->fields = fields != nullptr ? fields : "";
    r->fileField = fileField != nullptr ? fileField : "";
    r->file = file != nullptr ? file : "";
    r->thread = std::thread([raw = r.get()] { Run(*raw); });
    const int64_t id = g_next++;
    g_requests[id] = std::move(r);
    return id;
#else
    (void)url;
    (void)fields;
    (void)fileField;
    (void)file;
    return 0;
#endif
}

int64_t HttpStatus(int64_t request) {
    BRISEL_ENTRY;
    std::lock_guard<std::mutex> hold(brisel::g_lock);
    auto it = brisel::g_requests.find(request);
    return it == brisel::g_requests.end() ? -1 : it->second->status.load();
}

const char* HttpBody(int64_t request) {
    BRISEL_ENTRY;
    std::lock_guard<std::mutex> hold(brisel::g_lock);
    auto it = brisel::g_requests.find(request);
    if (it == brisel::g_requests.end()) return "no such request";
    return it->second->status.load() != 0 ? it->second->body.c_str() : "";
}

void HttpFree(int64_t request) {
    BRISEL_ENTRY;
    std::lock_guard<std::mutex> hold(brisel::g_lock);
    auto it = brisel::g_requests.find(request);
    if (it == brisel::g_requests.end()) return;
    std::shared_ptr<brisel::Request> r = it->second;
    brisel::g_requests.erase(it);
    r->cancel = true;
    if (r->status.load() != 0)
        brisel::Join(*r);
    else
        brisel::g_abandoned.push_back(r);  // joined once curl has seen the cancel
}

}  // extern "C"
