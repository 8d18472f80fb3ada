// SPDX-License-Identifier: MIT
#include "platform/CupsPrint.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>

#include <cups/cups.h>

#include "platform/Errors.h"

namespace varlen {
namespace {

// The functions of libcups this file calls, looked up when printing is first asked for. Their
// types come from libcups' own header, so a call cannot go through a wrong prototype.
struct CupsApi {
    decltype(&::cupsGetDests2) getDests;
    decltype(&::cupsGetDest) getDest;
    decltype(&::cupsFreeDests) freeDests;
    decltype(&::cupsCopyDestInfo) copyDestInfo;
    decltype(&::cupsFreeDestInfo) freeDestInfo;
    decltype(&::cupsGetDestMediaDefault) getDestMediaDefault;
    decltype(&::cupsFindDestDefault) findDestDefault;
    decltype(&::ippGetResolution) getResolution;
    decltype(&::cupsAddOption) addOption;
    decltype(&::cupsFreeOptions) freeOptions;
    decltype(&::cupsCreateJob) createJob;
    decltype(&::cupsStartDocument) startDocument;
    decltype(&::cupsWriteRequestData) writeRequestData;
    decltype(&::cupsFinishDocument) finishDocument;
    decltype(&::cupsCancelJob2) cancelJob;
    decltype(&::cupsLastErrorString) lastErrorString;
};

template <class F>
bool lookUp(void* library, const char* name, F* function) {
    *function = reinterpret_cast<F>(::dlsym(library, name));
    return *function != nullptr;
}

// libcups, or nullptr when the system has none (then it has no printer either).
const CupsApi* cups() {
    static std::once_flag once;
    static CupsApi api;
    static bool loaded = false;
    std::call_once(once, [] {
        void* library = ::dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library) return;
        loaded = lookUp(library, "cupsGetDests2", &api.getDests) && lookUp(library, "cupsGetDest", &api.getDest) &&
                 lookUp(library, "cupsFreeDests", &api.freeDests) &&
                 lookUp(library, "cupsCopyDestInfo", &api.copyDestInfo) &&
                 lookUp(library, "cupsFreeDestInfo", &api.freeDestInfo) &&
                 lookUp(library, "cupsGetDestMediaDefault", &api.getDestMediaDefault) &&
                 lookUp(library, "cupsFindDestDefault", &api.findDestDefault) &&
                 lookUp(library, "ippGetResolution", &api.getResolution) &&
                 lookUp(library, "cupsAddOption", &api.addOption) && lookUp(library, "cupsFreeOptions", &api.freeOptions) &&
                 lookUp(library, "cupsCreateJob", &api.createJob) &&
                 lookUp(library, "cupsStartDocument", &api.startDocument) &&
                 lookUp(library, "cupsWriteRequestData", &api.writeRequestData) &&
                 lookUp(library, "cupsFinishDocument", &api.finishDocument) &&
                 lookUp(library, "cupsCancelJob2", &api.cancelJob) &&
                 lookUp(library, "cupsLastErrorString", &api.lastErrorString);
    });
    return loaded ? &api : nullptr;
}

// The destinations the scheduler and the user's settings know, released on every path.
class Destinations {
public:
    explicit Destinations(const CupsApi& api) : api_(api) { count_ = api_.getDests(CUPS_HTTP_DEFAULT, &dests_); }
    ~Destinations() { api_.freeDests(count_, dests_); }
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;

    int Count() const { return count_; }
    cups_dest_t* Default() const { return count_ > 0 ? api_.getDest(nullptr, nullptr, count_, dests_) : nullptr; }
    cups_dest_t* Named(const std::string& name) const {
        return count_ > 0 ? api_.getDest(name.c_str(), nullptr, count_, dests_) : nullptr;
    }

private:
    const CupsApi& api_;
    cups_dest_t* dests_ = nullptr;
    int count_ = 0;
};

[[noreturn]] void jobFailed(const CupsApi& api) {
    throw EInOutError(std::string("The print job failed: ") + api.lastErrorString());
}

}  // namespace

TPrintQueue DefaultPrintQueue() {
    const CupsApi* api = cups();
    if (!api) throw EInOutError("No printer is installed");
    const Destinations dests(*api);
    if (dests.Count() == 0) throw EInOutError("No printer is installed");
    cups_dest_t* dest = dests.Default();
    if (!dest) throw EInOutError("No default printer is set");

    TPrintQueue queue;
    queue.Name = dest->name;
    if (cups_dinfo_t* info = api->copyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        cups_size_t size{};
        if (api->getDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, 0, &size) && size.width > 0 && size.length > 0) {
            queue.Media = size.media;
            queue.WidthMM = size.width / 100.0;
            queue.HeightMM = size.length / 100.0;
            queue.LeftMM = size.left / 100.0;
            queue.TopMM = size.top / 100.0;
        }
        if (ipp_attribute_t* resolution = api->findDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution")) {
            int yres = 0;
            ipp_res_t units = IPP_RES_PER_INCH;
            const int xres = api->getResolution(resolution, 0, &yres, &units);
            // One resolution for both axes, as the renderer lays out square dots.
            if (xres > 0 && xres == yres) queue.Dpi = units == IPP_RES_PER_CM ? int(xres * 2.54 + 0.5) : xres;
        }
        api->freeDestInfo(info);
    }
    return queue;
}

TPrintJob::TPrintJob(const TPrintQueue& queue, const std::string& title, const std::string& media) : queue_(queue.Name) {
    const CupsApi* api = cups();
    if (!api) throw EInOutError("No printer is installed");
    const Destinations dests(*api);
    cups_dest_t* dest = dests.Named(queue.Name);
    if (!dest) throw EInOutError("The print job failed: the printer \"" + queue.Name + "\" is gone");

    // The user's own settings of the queue, then the paper the page was made for and no scaling:
    // a barcode printed smaller or larger than made reads badly or not at all.
    cups_option_t* options = nullptr;
    int count = 0;
    for (int i = 0; i < dest->num_options; ++i)
        count = api->addOption(dest->options[i].name, dest->options[i].value, count, &options);
    if (!media.empty()) count = api->addOption("media", media.c_str(), count, &options);
    count = api->addOption("print-scaling", "none", count, &options);
    job_ = api->createJob(CUPS_HTTP_DEFAULT, dest->name, title.c_str(), count, options);
    api->freeOptions(count, options);
    if (job_ == 0) jobFailed(*api);
    open_ = api->startDocument(CUPS_HTTP_DEFAULT, dest->name, job_, title.c_str(), CUPS_FORMAT_PDF, 1) ==
            HTTP_STATUS_CONTINUE;
    if (!open_) fail();
}

TPrintJob::~TPrintJob() {
    if (job_ != 0) cups()->cancelJob(CUPS_HTTP_DEFAULT, queue_.c_str(), job_, 0);
}

void TPrintJob::fail() {
    const CupsApi& api = *cups();
    const std::string reason = api.lastErrorString();
    if (open_) api.finishDocument(CUPS_HTTP_DEFAULT, queue_.c_str());
    open_ = false;
    api.cancelJob(CUPS_HTTP_DEFAULT, queue_.c_str(), job_, 0);
    job_ = 0;
    throw EInOutError("The print job failed: " + reason);
}

void TPrintJob::Write(const void* data, std::size_t size) {
    if (!open_) throw EInOutError("The print job failed: the document is closed");
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t at = 0; at < size;) {
        const std::size_t piece = std::min<std::size_t>(size - at, 1 << 16);
        if (cups()->writeRequestData(CUPS_HTTP_DEFAULT, bytes + at, piece) != HTTP_STATUS_CONTINUE) fail();
        at += piece;
    }
}

void TPrintJob::Finish() {
    if (!open_) throw EInOutError("The print job failed: the document is closed");
    const ipp_status_t finished = cups()->finishDocument(CUPS_HTTP_DEFAULT, queue_.c_str());
    open_ = false;
    if (finished > IPP_STATUS_OK_CONFLICTING) fail();
    job_ = 0;  // the scheduler has the whole document: it is printed
}

void PrintPdf(const TPrintQueue& queue, const std::vector<std::uint8_t>& pdf, const std::string& title) {
    TPrintJob job(queue, title, queue.Media);
    job.Write(pdf.data(), pdf.size());
    job.Finish();
}

}  // namespace varlen
