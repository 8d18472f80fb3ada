// SPDX-License-Identifier: MIT
#include "platform/CupsPrint.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <string_view>

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
    decltype(&::cupsGetDestMediaByName) getDestMediaByName;
    decltype(&::ippGetString) getString;
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
                 lookUp(library, "cupsGetDestMediaByName", &api.getDestMediaByName) &&
                 lookUp(library, "ippGetString", &api.getString) &&
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
    // "NAME" or "NAME/INSTANCE", as lp and lpstat write a queue's instance.
    cups_dest_t* Named(const std::string& name) const {
        if (count_ <= 0) return nullptr;
        const auto slash = name.find('/');
        const std::string queue = name.substr(0, slash);
        const std::string instance = slash == std::string::npos ? std::string() : name.substr(slash + 1);
        return api_.getDest(queue.c_str(), instance.empty() ? nullptr : instance.c_str(), count_, dests_);
    }

private:
    const CupsApi& api_;
    cups_dest_t* dests_ = nullptr;
    int count_ = 0;
};

[[noreturn]] void jobFailed(const CupsApi& api) {
    throw EInOutError(std::string("The print job failed: ") + api.lastErrorString());
}

// A destination's own option (the user's lpoptions or the queue's defaults), or nullptr.
const char* cupsGetOptionOf(const cups_dest_t* dest, const char* name) {
    for (int i = 0; i < dest->num_options; ++i)
        if (std::string_view(dest->options[i].name) == name) return dest->options[i].value;
    return nullptr;
}

// What the queue's defaults say of its paper and resolution.
TPrintQueue queueOf(const CupsApi* api, cups_dest_t* dest) {
    TPrintQueue queue;
    queue.Name = dest->instance ? std::string(dest->name) + "/" + dest->instance : std::string(dest->name);
    if (cups_dinfo_t* info = api->copyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        cups_size_t size{};
        bool found = api->getDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, 0, &size);
        // For a label printer's driver cupsGetDestMediaDefault answers with the first of its custom
        // sizes (a label of 1.25 x 0.25 inch for CUPS's Zebra driver set to 4 x 6 inch), which
        // would put the symbol off the page: then the paper the queue names is looked up by name.
        const char* chosen = cupsGetOptionOf(dest, "media");
        ipp_attribute_t* media = chosen ? nullptr : api->findDestDefault(CUPS_HTTP_DEFAULT, dest, info, "media");
        const char* name = chosen ? chosen : media ? api->getString(media, 0, nullptr) : nullptr;
        const auto custom = [](const char* n) { return std::string_view(n).substr(0, 7) == "custom_"; };
        bool named = false;
        if ((!found || custom(size.media)) && name && !custom(name)) {
            cups_size_t byName{};
            named = api->getDestMediaByName(CUPS_HTTP_DEFAULT, dest, info, name, 0, &byName);
            if (named) size = byName;
            found = found || named;
        }
        if (found && size.width > 0 && size.length > 0) {
            queue.Media = named ? name : size.media;
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

}  // namespace

TPrintQueue DefaultPrintQueue() { return PrintQueueNamed({}); }

TPrintQueue PrintQueueNamed(const std::string& name) {
    const CupsApi* api = cups();
    if (!api) throw EInOutError(name.empty() ? "No printer is installed" : "No printer \"" + name + "\" is installed");
    const Destinations dests(*api);
    if (!name.empty()) {
        cups_dest_t* dest = dests.Named(name);
        if (!dest) throw EInOutError("No printer \"" + name + "\" is installed");
        return queueOf(api, dest);
    }
    if (dests.Count() == 0) throw EInOutError("No printer is installed");
    cups_dest_t* dest = dests.Default();
    if (!dest) throw EInOutError("No default printer is set");
    return queueOf(api, dest);
}

TPrintJob::TPrintJob(const TPrintQueue& queue, const std::string& title, const std::string& media) : queue_(queue.Name) {
    const CupsApi* api = cups();
    if (!api) throw EInOutError("No printer is installed");
    const Destinations dests(*api);
    cups_dest_t* dest = dests.Named(queue.Name);
    if (!dest) throw EInOutError("The print job failed: the printer \"" + queue.Name + "\" is gone");
    queue_ = dest->name;  // the scheduler's queue; Name may add "/INSTANCE", which it does not know

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
