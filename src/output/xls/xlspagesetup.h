// How a worksheet is laid out on paper.
#pragma once

#include <QString>

namespace darni::output::xls {

struct XlsPageSetup
{
    static constexpr int kPaperA4 = 9;

    int paperSize = kPaperA4;
    int scale = 100; // per cent
    int firstPageNumber = 1;
    int fitWidth = 1;  // pages across
    int fitHeight = 1; // pages down
    bool landscape = false;
    double leftMargin = 2.0; // inches, as the file keeps them
    double rightMargin = 2.0;
    double topMargin = 2.5;
    double bottomMargin = 2.5;
    double headerMargin = 0.0;
    double footerMargin = 0.0;
    int copies = 0;
    bool printGridlines = false;
    bool printHeadings = false;
    bool centerHorizontally = false;
    bool centerVertically = false;
    QString header;
    QString footer;
};

} // namespace darni::output::xls
