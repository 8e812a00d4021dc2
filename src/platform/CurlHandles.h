#pragma once
// Owners of libcurl's handles, for the engine's streams and the download transport alike. Header
// only, so the engine (which links no Qt) can use it without the rest of this folder.

#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <new>

struct CurlEasyDeleter {
    void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// libcurl's global set-up must run once, before any handle, and is not safe to run from two threads
// at once: every handle of the program is made here.
inline void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
inline CurlEasy makeCurlEasy() {
    initCurl();
    return CurlEasy(curl_easy_init());
}
inline CurlMulti makeCurlMulti() {
    initCurl();
    return CurlMulti(curl_multi_init());
}

// Appends a line; throws std::bad_alloc when libcurl cannot, leaving the list as it was.
inline void appendCurlList(CurlList& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (!grown) throw std::bad_alloc();
    (void)list.release(); // grown starts with the old list
    list.reset(grown);
}

// An easy handle added to a multi handle for the life of this object: it is removed again on every
// path, before either handle goes.
class CurlTransferSlot {
public:
    CurlTransferSlot(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
        if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) multi_ = nullptr;
    }
    ~CurlTransferSlot() {
        if (multi_) curl_multi_remove_handle(multi_, easy_);
    }
    CurlTransferSlot(const CurlTransferSlot&) = delete;
    CurlTransferSlot& operator=(const CurlTransferSlot&) = delete;
    bool added() const { return multi_ != nullptr; }

private:
    CURLM* multi_;
    CURL* easy_;
};
