#pragma once

#include <opencv2/core.hpp>

#include <QRect>
#include <QString>
#include <QVector>

namespace engines {

struct TableCell
{
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    QRect box; // in picture coordinates, rules included
    QString text;
};

// A recognised table: rows x columns of the finest grid, and the cells that
// cover it, merged ones once with their spans, in row-major order of their
// top-left corner.
struct TableGrid
{
    QVector<int> rowEdges; // y of the rules, top to bottom (rows + 1 values)
    QVector<int> columnEdges; // x of the rules, left to right (columns + 1 values)
    QVector<TableCell> cells;
    bool ruled = false; // false: no table found, one cell holds the whole text
    int ruleTolerance = 0; // how far a rule may wander from its edge position, in pixels

    int rows() const { return qMax(0, rowEdges.size() - 1); }
    int columns() const { return qMax(0, columnEdges.size() - 1); }
    // The cell covering grid position (row, column), or nullptr.
    const TableCell *cellAt(int row, int column) const;
};

// Finds a ruled table in a grey picture: horizontal and vertical rules by
// morphology, the grid from their positions, and merged cells from rules
// missing between neighbours. All rules of the picture are taken as one table.
// Stateless; safe on any thread.
class KTableDetector
{
public:
    // Grid and cell boxes without texts; ruled is false when no table with at
    // least one row and one column was found.
    static TableGrid detect(const cv::Mat &gray);

    // Tilt of the page in degrees from its long near-horizontal lines,
    // positive when they fall to the right (a clockwise turn); 0 when there
    // are none. detect() needs rules straight with the pixel axes.
    static double estimateSkew(const cv::Mat &gray);
    // The picture (grey or colour) turned counter-clockwise by angle degrees
    // about its centre, so deskew(p, estimateSkew(p)) is straight; same size,
    // white where nothing was.
    static cv::Mat deskew(const cv::Mat &image, double angle);

    // The masks of rules the detection worked from, for the benchmark and tests.
    static void ruleMasks(const cv::Mat &gray, cv::Mat *horizontal, cv::Mat *vertical);
};

} // namespace engines
