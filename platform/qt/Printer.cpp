#include "platform/qt/Printer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <cups/cups.h>

#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include "platform/Errors.h"

namespace varlen {

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
    if (m_printing) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

void TPrinter::SetPdfOutput(const std::string& fileName, int dpi) {
    m_pdfFile = fileName;
    m_pdfDpi = dpi > 0 ? dpi : 1200;
}

std::string TPrinter::DefaultPrinterName() {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    return info.isNull() ? std::string() : info.printerName().toStdString();
}

void TPrinter::BeginDoc() {
    if (m_printing) throw EInOutError("Printing in progress");
    if (m_pdfFile.empty()) {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            if (QPrinterInfo::availablePrinterNames().isEmpty()) throw EInOutError("No printer is installed");
            throw EInOutError("No default printer is set");
        }
        // The page goes into a private file first and reaches the queue only at EndDoc: a job that
        // is abandoned half drawn is never printed.
        std::string temp = QDir::tempPath().toStdString() + "/varlen-print-XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) throw EInOutError(std::string("The print job could not be started: ") + std::strerror(errno));
        ::close(fd);
        m_spoolFile = temp;
        m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        m_printer->setOutputFileName(QString::fromStdString(m_spoolFile));
    } else {
        // Reserve a unique name beside the target; the PDF goes there and is renamed at the end.
        std::string temp = m_pdfFile + ".XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) throw EInOutError(m_pdfFile + ": " + std::strerror(errno));
        // mkstemp makes the file private; the finished PDF gets the mode any new file gets.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        ::close(fd);
        m_tempFile = temp;
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(QString::fromStdString(m_tempFile));
        m_printer->setResolution(m_pdfDpi);
    }
    m_printer->setDocName(QString::fromStdString(m_title));
    m_printer->setFullPage(false);
    // The page's origin is the corner of the printable area the device can reach, not a margin
    // of the toolkit's choosing, so that (200, 200) means 200 dots from that corner.
    const QPageLayout layout = m_printer->pageLayout();
    m_printer->setPageMargins(layout.minimumMargins(), layout.units());
    m_canvas = std::make_unique<TQtCanvas>();
    m_canvas->Attach(m_printer.get(), m_printer->resolution(), m_printer->resolution());
    if (!m_canvas->IsAttached()) {
        const std::string target = m_pdfFile;
        cleanup();
        throw EInOutError(target.empty() ? std::string("The printer could not start the job") : target + ": cannot be written");
    }
    m_printing = true;
}

TQtCanvas& TPrinter::Canvas() {
    if (!m_printing) throw EInOutError("Printer is not printing");
    return *m_canvas;
}

void TPrinter::EndDoc() {
    if (!m_printing) throw EInOutError("Printer is not printing");
    QPainter* painter = m_canvas->Painter();
    const bool ended = painter && painter->end();
    m_canvas->Detach();
    m_printing = false;
    if (!ended) {
        cleanup();
        throw EInOutError(m_pdfFile.empty() ? std::string("The print job failed") : m_pdfFile + ": cannot be written");
    }
    if (!m_tempFile.empty()) {
        m_printer.reset();
        if (std::rename(m_tempFile.c_str(), m_pdfFile.c_str()) != 0) {
            const int error = errno;
            cleanup();
            throw EInOutError(m_pdfFile + ": " + std::strerror(error));
        }
        m_tempFile.clear();
    }
    if (!m_spoolFile.empty()) {
        const std::string queue = m_printer->printerName().toStdString();
        const std::string media = m_printer->pageLayout().pageSize().key().toStdString();
        cups_option_t* options = nullptr;
        int count = cupsAddOption("media", media.c_str(), 0, &options);
        const int job = cupsPrintFile(queue.c_str(), m_spoolFile.c_str(), m_title.c_str(), count, options);
        cupsFreeOptions(count, options);
        if (job == 0) {
            const std::string reason = cupsLastErrorString();
            cleanup();
            throw EInOutError("The print job failed: " + reason);
        }
    }
    cleanup();
}

void TPrinter::Abort() {
    if (!m_printing) return;
    m_printer->abort();
    m_canvas->Detach();
    m_printing = false;
    cleanup();
}

void TPrinter::cleanup() {
    m_canvas.reset();
    m_printer.reset();
    for (std::string* file : {&m_tempFile, &m_spoolFile}) {
        if (file->empty()) continue;
        ::unlink(file->c_str());
        file->clear();
    }
}

}  // namespace varlen
