#pragma once

#include <QByteArray>
#include <QString>

#include "EngineTypes.h"
#include "KTableDetector.h"

// The document and AI products of the service. Each takes the uploaded
// picture's bytes and a context (progress 0..100, cancel check, models
// folder, languages) and returns the result object, an optional preview and
// on failure a code with a plain reason. Every call is self-contained: it
// creates its own recogniser or network, so calls on different threads do not
// share state. Nothing is written outside the call's own temporary folder.
namespace engines {

// Recognised text as a .docx, one paragraph per text block in reading order.
EngineResult pic2word(const QByteArray &image, const EngineContext &context);
// Recognised text as an .xlsx, one visual line per row, columns split at wide
// gaps and aligned across rows.
EngineResult pic2xlsx(const QByteArray &image, const EngineContext &context);
// A ruled table as a .docx table with merged cells; preview = the picture with
// the detected cells drawn on it (same size as the picture).
EngineResult table2word(const QByteArray &image, const EngineContext &context);
// The same table as an .xlsx with merged ranges; same preview.
EngineResult table2xls(const QByteArray &image, const EngineContext &context);
// A coloured picture from a black-and-white one, with the model from
// context.modelsDir; fails with ModelMissing when there is none.
EngineResult piccolor(const QByteArray &image, const EngineContext &context);
// The picture resampled back to its estimated original proportions, or the
// unchanged picture with result.notice saying why.
EngineResult picstretchstore(const QByteArray &image, const EngineContext &context);

// Runs the product named as in job requests ("pic2word", "table2xls", ...);
// BadInput for a product this library does not provide.
EngineResult runProduct(
    const QString &product, const QByteArray &image, const EngineContext &context);
bool providesProduct(const QString &product);

// The table as recognised: grid, spans and cell texts; exposed for the
// benchmark. cancelled is set when the context asked to stop.
TableGrid recognizeTable(
    const QByteArray &image, const EngineContext &context, EngineResult *failure);

} // namespace engines
