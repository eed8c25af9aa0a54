// orvane-report's PDF pages, laid out by orvane-pdf-writer: the one part of the command line that
// needs Qt Gui runs in a program of its own, so the others start without it.
#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>

// Writes lines to device as a PDF document titled title. Empty on success; otherwise what went
// wrong, naming the program where it could not be started.
QString WriteReportPdf(QIODevice& device, const QString& title, const QStringList& lines);

// The program: set explicitly (tests), else orvane-pdf-writer beside the running program, else in
// the installed helper folder (../libexec/orvane).
void SetPdfWriterProgram(const QString& path);
QString PdfWriterProgram();
