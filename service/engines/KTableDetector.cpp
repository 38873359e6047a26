#include "KTableDetector.h"

#include <algorithm>
#include <numeric>

#include <opencv2/imgproc.hpp>

#include "KTextRecognizer.h"

namespace engines {

const TableCell *TableGrid::cellAt(int row, int column) const
{
    for (const TableCell &cell : cells) {
        if (row >= cell.row && row < cell.row + cell.rowSpan && column >= cell.column
            && column < cell.column + cell.columnSpan)
            return &cell;
    }
    return nullptr;
}

namespace {

// One straight piece of rule: along is the position across the rule (y of a
// horizontal one), from..to its extent along the rule.
struct Segment
{
    int along;
    int from;
    int to;
    int thickness;
};

// Rules at about the same position, merged.
struct Rule
{
    int position = 0;
    std::vector<std::pair<int, int>> spans;
    long length = 0;

    bool covers(int value, int tolerance) const
    {
        for (const auto &span : spans) {
            if (value >= span.first - tolerance && value <= span.second + tolerance)
                return true;
        }
        return false;
    }
};

int textHeightOr(const cv::Mat &gray, int fallback)
{
    const int h = KTextRecognizer::estimateTextHeight(gray);
    return h > 0 ? h : fallback;
}

std::vector<Segment> segments(const cv::Mat &mask, bool horizontal)
{
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
    std::vector<Segment> out;
    for (int i = 1; i < count; ++i) {
        const int x = stats.at<int>(i, cv::CC_STAT_LEFT);
        const int y = stats.at<int>(i, cv::CC_STAT_TOP);
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
        const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        if (horizontal)
            out.push_back({ y + h / 2, x, x + w - 1, h });
        else
            out.push_back({ x + w / 2, y, y + h - 1, w });
    }
    return out;
}

// Pieces of one broken rule (a photographed or faint line) joined again:
// same position within tolerance, at most gap pixels apart along the rule.
std::vector<Segment> joinPieces(std::vector<Segment> segs, int tolerance, int gap)
{
    std::sort(segs.begin(), segs.end(),
        [](const Segment &a, const Segment &b) { return a.from < b.from; });
    std::vector<Segment> joined;
    for (const Segment &seg : segs) {
        bool merged = false;
        for (Segment &j : joined) {
            if (std::abs(j.along - seg.along) <= tolerance && seg.from <= j.to + gap) {
                j.to = std::max(j.to, seg.to);
                j.thickness = std::max(j.thickness, seg.thickness);
                merged = true;
                break;
            }
        }
        if (!merged)
            joined.push_back(seg);
    }
    return joined;
}

std::vector<Rule> cluster(std::vector<Segment> segs, int tolerance)
{
    std::sort(segs.begin(), segs.end(),
        [](const Segment &a, const Segment &b) { return a.along < b.along; });
    std::vector<Rule> rules;
    long weighted = 0;
    for (const Segment &s : segs) {
        if (rules.empty() || s.along - rules.back().position > tolerance) {
            if (!rules.empty())
                rules.back().position = int(weighted / std::max(1L, rules.back().length));
            rules.push_back(Rule());
            rules.back().position = s.along;
            weighted = 0;
        }
        Rule &r = rules.back();
        r.spans.push_back({ s.from, s.to });
        const long len = s.to - s.from + 1;
        r.length += len;
        weighted += long(s.along) * len;
    }
    if (!rules.empty())
        rules.back().position = int(weighted / std::max(1L, rules.back().length));
    return rules;
}

// Rules crossing at least two rules of the other direction.
std::vector<Rule> crossing(
    const std::vector<Rule> &rules, const std::vector<Rule> &others, int tolerance)
{
    std::vector<Rule> kept;
    for (const Rule &rule : rules) {
        int crossings = 0;
        for (const Rule &other : others) {
            if (rule.covers(other.position, tolerance) && other.covers(rule.position, tolerance))
                ++crossings;
        }
        if (crossings >= 2)
            kept.push_back(rule);
    }
    return kept;
}

// Share of the stretch from..to (exclusive of the corners) that the mask
// marks within tolerance of the rule position.
double coverage(const cv::Mat &mask, bool horizontal, int position, int from, int to, int tolerance)
{
    from += tolerance;
    to -= tolerance;
    if (to <= from)
        return 1.0;
    int hits = 0;
    for (int t = from; t < to; ++t) {
        bool hit = false;
        for (int d = -tolerance; d <= tolerance && !hit; ++d) {
            const int p = position + d;
            if (horizontal) {
                if (p >= 0 && p < mask.rows && t >= 0 && t < mask.cols && mask.at<uchar>(p, t))
                    hit = true;
            } else if (p >= 0 && p < mask.cols && t >= 0 && t < mask.rows && mask.at<uchar>(t, p)) {
                hit = true;
            }
        }
        hits += hit ? 1 : 0;
    }
    return double(hits) / (to - from);
}

int find(std::vector<int> &parent, int i)
{
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

} // namespace

void KTableDetector::ruleMasks(const cv::Mat &gray, cv::Mat *horizontal, cv::Mat *vertical)
{
    const int text = textHeightOr(gray, 12);
    cv::Mat ink;
    cv::adaptiveThreshold(
        gray, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, 25, 12);
    // Long straight ink only: words are broken by letter gaps, rules are not.
    // No closing before: bridging small gaps turns a word's baseline into a
    // rule. Breaks in a photographed rule are bridged later, when pieces at
    // the same position are clustered into one rule.
    const int hLength = std::max(20, 3 * text);
    const int vLength = std::max(12, text);
    cv::morphologyEx(ink, *horizontal, cv::MORPH_OPEN,
        cv::getStructuringElement(cv::MORPH_RECT, { hLength, 1 }));
    cv::morphologyEx(
        ink, *vertical, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, { 1, vLength }));
}

double KTableDetector::estimateSkew(const cv::Mat &gray)
{
    if (gray.empty())
        return 0;
    cv::Mat ink, lines;
    cv::adaptiveThreshold(
        gray, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, 25, 12);
    // Short horizontal pieces survive a tilt of a few degrees; the line
    // search then joins the staircase back into long lines.
    cv::morphologyEx(
        ink, lines, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, { 20, 1 }));
    std::vector<cv::Vec4i> found;
    const int minLength = std::max(60, gray.cols / 3);
    cv::HoughLinesP(lines, found, 1, CV_PI / 1800, minLength, minLength, 12);
    std::vector<double> angles;
    for (const cv::Vec4i &l : found) {
        const double angle = std::atan2(double(l[3] - l[1]), double(l[2] - l[0])) * 180.0 / CV_PI;
        if (std::abs(angle) < 5.0)
            angles.push_back(angle);
    }
    if (angles.size() < 2)
        return 0;
    std::nth_element(angles.begin(), angles.begin() + long(angles.size() / 2), angles.end());
    return angles[angles.size() / 2];
}

cv::Mat KTableDetector::deskew(const cv::Mat &image, double angle)
{
    const cv::Point2f centre(image.cols / 2.0f, image.rows / 2.0f);
    const cv::Mat turn = cv::getRotationMatrix2D(centre, angle, 1.0);
    cv::Mat out;
    cv::warpAffine(
        image, out, turn, image.size(), cv::INTER_CUBIC, cv::BORDER_CONSTANT, cv::Scalar::all(255));
    return out;
}

TableGrid KTableDetector::detect(const cv::Mat &gray)
{
    TableGrid grid;
    if (gray.empty())
        return grid;
    cv::Mat hMask, vMask;
    ruleMasks(gray, &hMask, &vMask);
    const int text = textHeightOr(gray, 12);
    const int tolerance = std::max(4, text / 3);

    // Thick blobs are filled areas or pictures, not rules.
    const int maxThickness = std::max(8, text / 2);
    std::vector<Segment> hSegs, vSegs;
    for (const Segment &s : segments(hMask, true))
        if (s.thickness <= maxThickness)
            hSegs.push_back(s);
    for (const Segment &s : segments(vMask, false))
        if (s.thickness <= maxThickness)
            vSegs.push_back(s);
    hSegs = joinPieces(hSegs, tolerance, std::max(8, text));
    vSegs = joinPieces(vSegs, tolerance, std::max(8, text));

    // Grow the table from its longest rules (the frame): a shorter piece
    // belongs to it only when both of its ends meet accepted rules of the
    // other direction. Runs along the baseline of anti-aliased words and the
    // stems of tall letters end inside cells and stay out, even where they
    // would meet each other.
    const auto longest = [](const std::vector<Segment> &segs) {
        int best = 0;
        for (const Segment &seg : segs)
            best = std::max(best, seg.to - seg.from);
        return best;
    };
    const int hLongest = longest(hSegs);
    const int vLongest = longest(vSegs);
    std::vector<bool> hIn(hSegs.size()), vIn(vSegs.size());
    for (size_t i = 0; i < hSegs.size(); ++i)
        hIn[i] = hSegs[i].to - hSegs[i].from >= hLongest / 2;
    for (size_t i = 0; i < vSegs.size(); ++i)
        vIn[i] = vSegs[i].to - vSegs[i].from >= vLongest / 2;
    const auto endsMeet = [tolerance](const Segment &seg, const std::vector<Segment> &others,
                              const std::vector<bool> &accepted) {
        bool first = false, last = false;
        for (size_t j = 0; j < others.size(); ++j) {
            const Segment &o = others[j];
            if (!accepted[j] || seg.along < o.from - tolerance || seg.along > o.to + tolerance)
                continue;
            first = first || std::abs(o.along - seg.from) <= tolerance;
            last = last || std::abs(o.along - seg.to) <= tolerance;
        }
        return first && last;
    };
    for (bool grown = true; grown;) {
        grown = false;
        for (size_t i = 0; i < hSegs.size(); ++i)
            if (!hIn[i] && endsMeet(hSegs[i], vSegs, vIn))
                hIn[i] = grown = true;
        for (size_t i = 0; i < vSegs.size(); ++i)
            if (!vIn[i] && endsMeet(vSegs[i], hSegs, hIn))
                vIn[i] = grown = true;
    }
    std::vector<Segment> hKept, vKept;
    for (size_t i = 0; i < hSegs.size(); ++i)
        if (hIn[i])
            hKept.push_back(hSegs[i]);
    for (size_t i = 0; i < vSegs.size(); ++i)
        if (vIn[i])
            vKept.push_back(vSegs[i]);
    std::vector<Rule> hRules = cluster(hKept, tolerance);
    std::vector<Rule> vRules = cluster(vKept, tolerance);
    for (int pass = 0; pass < 2; ++pass) {
        hRules = crossing(hRules, vRules, tolerance);
        vRules = crossing(vRules, hRules, tolerance);
    }
    if (hRules.size() < 2 || vRules.size() < 2)
        return grid;

    for (const Rule &r : hRules)
        grid.rowEdges.append(r.position);
    for (const Rule &r : vRules)
        grid.columnEdges.append(r.position);
    const int rows = grid.rows();
    const int cols = grid.columns();

    // Neighbouring grid cells without a rule between them are one cell.
    std::vector<int> parent(size_t(rows * cols));
    std::iota(parent.begin(), parent.end(), 0);
    const auto unite = [&](int a, int b) { parent[size_t(find(parent, a))] = find(parent, b); };
    const double present = 0.6;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (c + 1 < cols
                && coverage(vMask, false, grid.columnEdges[c + 1], grid.rowEdges[r],
                       grid.rowEdges[r + 1], tolerance)
                    < present)
                unite(r * cols + c, r * cols + c + 1);
            if (r + 1 < rows
                && coverage(hMask, true, grid.rowEdges[r + 1], grid.columnEdges[c],
                       grid.columnEdges[c + 1], tolerance)
                    < present)
                unite(r * cols + c, (r + 1) * cols + c);
        }
    }

    // Bounding grid rectangle per group; groups whose rectangles overlap are
    // joined until every cell is a rectangle of its own.
    struct Span
    {
        int r0, c0, r1, c1;
    };
    std::vector<Span> spans;
    std::vector<int> owner(size_t(rows * cols), -1);
    for (int i = 0; i < rows * cols; ++i) {
        const int root = find(parent, i);
        if (owner[size_t(root)] < 0) {
            owner[size_t(root)] = int(spans.size());
            spans.push_back({ i / cols, i % cols, i / cols, i % cols });
        }
        Span &s = spans[size_t(owner[size_t(root)])];
        s.r0 = std::min(s.r0, i / cols);
        s.c0 = std::min(s.c0, i % cols);
        s.r1 = std::max(s.r1, i / cols);
        s.c1 = std::max(s.c1, i % cols);
    }
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t a = 0; a < spans.size() && !changed; ++a) {
            for (size_t b = a + 1; b < spans.size() && !changed; ++b) {
                const Span &x = spans[a];
                const Span &y = spans[b];
                if (x.r0 <= y.r1 && y.r0 <= x.r1 && x.c0 <= y.c1 && y.c0 <= x.c1) {
                    spans[a] = { std::min(x.r0, y.r0), std::min(x.c0, y.c0), std::max(x.r1, y.r1),
                        std::max(x.c1, y.c1) };
                    spans.erase(spans.begin() + long(b));
                    changed = true;
                }
            }
        }
    }
    std::sort(spans.begin(), spans.end(),
        [](const Span &a, const Span &b) { return a.r0 != b.r0 ? a.r0 < b.r0 : a.c0 < b.c0; });
    for (const Span &s : spans) {
        TableCell cell;
        cell.row = s.r0;
        cell.column = s.c0;
        cell.rowSpan = s.r1 - s.r0 + 1;
        cell.columnSpan = s.c1 - s.c0 + 1;
        cell.box = QRect(QPoint(grid.columnEdges[s.c0], grid.rowEdges[s.r0]),
            QPoint(grid.columnEdges[s.c1 + 1], grid.rowEdges[s.r1 + 1]));
        grid.cells.append(cell);
    }
    grid.ruled = true;
    grid.ruleTolerance = tolerance;
    return grid;
}

} // namespace engines
