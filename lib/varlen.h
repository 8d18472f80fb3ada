// SPDX-License-Identifier: MIT
#pragma once
// libvarlen: the barcodes of Varlen for any program, without a window or a toolkit. Link it with
//     c++ -std=c++20 label.cpp $(pkg-config --cflags --libs varlen)
//
// Four steps, each a value in and a value out; nothing is kept between calls except the fonts and
// glyphs of the process, which every thread shares.
//
// 1. Encode. A parameter record (engine/BarLL.h) says what to draw: the symbology, the data, an
//    add-on, the module width, the bar height, the text and its font, the rotation.
//        varlen::TBarcodeParams params;
//        params.CodeType = varlen::EAN_13;
//        varlen::StoreCaption(params, "400638133393");             // engine/DataRules.h
//        varlen::TSymbol symbol = varlen::Encode(params);            // raises varlen::EOverflow
//        varlen::TRenderParams look = varlen::RenderParamsOf(params);
//    DataRules.h also says, in words, what the forgiving engine would change in the data
//    (StrictDataError, DataChangeNotes), for callers that refuse such data.
//
// 2. Measure. The drawn size in dots of a surface of a resolution, before anything is drawn:
//        varlen::TSize size = varlen::Measure(symbol, look, 300, 300, varlen::RasterTextMetrics());
//
// 3. Render, on a raster target (raster/Bitmap.h: a bitmap in memory with its drawing surface)...
//        varlen::TBitmap bitmap(size.cx, size.cy);                   // white
//        bitmap.Canvas().SetResolution(300, 300);
//        varlen::Render(symbol, look, bitmap.Canvas(), 0, 0);
//    ...or on a vector target (vector/Vector.h: SVG, PDF and EPS made by cairo):
//        varlen::TVectorSource source = varlen::VectorSourceOf(symbol, look);
//
// 4. Bytes or a file.
//        std::vector<std::uint8_t> png = varlen::EncodePng(bitmap.View(), 11811);   // 300 dpi
//        std::vector<std::uint8_t> pdf = varlen::VectorFileBytes(varlen::TVectorFormat::Pdf, source);
//        varlen::WriteFileAtomic("label.png", png.data(), png.size());  // whole or not at all
//
// The whole of the window's Save in one call, every file type by its name's extension (BMP, GIF,
// TIFF, JPEG, EMF, PNG, SVG, PDF, EPS), the bitmap magnified `factor` times:
//        varlen::TBarcodeImage image(params);                        // imaging/BarcodeImage.h
//        varlen::SaveBarcodeToFile("label.gif", 3, varlen::SaveSourceOf(image));
//    or its bytes in memory: varlen::BarcodeFileBytes(varlen::TSaveFileType::Gif, "label", 3, ...).
//
// Errors are exceptions derived from varlen::Exception (platform/Errors.h) whose what() is the
// message: EOverflow for data and sizes the engine refuses, EInOutError for files.
//
// Text: the face name (params.FontName, "Arial" by default) is resolved by fontconfig, as on the
// desktop; fontconfig's answers are kept in $XDG_CACHE_HOME/varlen/fonts between runs. SVG, PDF
// and EPS come from the module libvarlen-vector.so, loaded on the first vector file from varlen/
// beside libvarlen.so (or lib/varlen/ beside the program's bin/ folder).
#include "engine/BarLL.h"
#include "engine/DataRules.h"
#include "imaging/BarcodeImage.h"
#include "imaging/PngFile.h"
#include "imaging/SaveFile.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "raster/Bitmap.h"
#include "raster/Fonts.h"
#include "vector/Vector.h"
