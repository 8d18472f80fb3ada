#include "platform/qt/Printer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

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
        m_printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    } else {
        // Reserve a unique name beside the target; the PDF goes there and is renamed at the end.
        std::string temp = m_pdfFile + ".XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd < 0) throw EInOutError(m_pdfFile + ": " + std::strerror(errno));
        ::close(fd);
        m_tempFile = temp;
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setOutputFormat(QPrinter::PdfFormat);
        m_printer->setOutputFileName(QString::fromStdString(m_tempFile));
        m_printer->setResolution(m_pdfDpi);
    }
    m_printer->setDocName(QString::fromStdString(m_title));
    m_printer->setFullPage(false);
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
    if (!m_tempFile.empty()) {
        ::unlink(m_tempFile.c_str());
        m_tempFile.clear();
    }
}

}  // namespace varlen
