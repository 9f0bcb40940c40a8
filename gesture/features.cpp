#include "gesture/features.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/exit.h"
#include "gesture/motion_images.h"

namespace kalvento {

namespace {

constexpr int kWholeGrid = 0;  // a group whose box is the whole grid
static_assert(kGridColumns % 8 == 0, "PreGetGC passes over rows eight cells at a time");

// The angle between two neighbouring rays, with pi taken as 3.141592653.
constexpr double kRayAngleStep = 0.09817477040625;
constexpr double kScaleMax = 999.0;  // bins 0 .. 999 of the profile distance

// Motion image copied into GcImage and motion image whose box is used, by view-point group.
struct GroupSource {
    int copied;
    int box;
};
constexpr GroupSource kGroups[kViewGroups] = {
    {kDiffImageNo, kDiffImageNo}, {kDiffImageNo, kBrightImageNo}, {kBrightImageNo, kBrightImageNo},
    {kBrightImageNo, kWholeGrid}, {kDiffImageNo, kWholeGrid},     {kEdgeImageNo, kEdgeImageNo},
    {kEdgeImageNo, kDiffImageNo}, {kBrightImageNo, kDiffImageNo},
};
// The box of the whole grid; its radius is half the grid diagonal of 100 cells.
constexpr GcInfo kWholeGridInfo{0, kGridColumns - 1, 0, kGridRows - 1, 40, 30, 50};

const CellGrid& imageOf(const GestureState& gesture, int image) {
    switch (image) {
        case kDiffImageNo:
            return gesture.DiffImage;
        case kBrightImageNo:
            return gesture.BrightImage;
        default:
            return gesture.EdgeImage;
    }
}

// (int)SKIP without an undefined conversion: values beyond +-1e6 are cut there, and a value
// that is not a number counts as the start value 1.
int skipCells(double SKIP) {
    if (std::isnan(SKIP)) return 1;
    return static_cast<int>(std::clamp(SKIP, -1e6, 1e6));
}

// The twiddle factors of the 64-point transform, exp(-2 pi i k / 64) for k = 0 .. 31; a
// constant table computed once.
struct Twiddles {
    double cosine[kDirections / 2];
    double sine[kDirections / 2];
    Twiddles() {
        for (int k = 0; k < kDirections / 2; ++k) {
            double angle = 2.0 * M_PI * k / kDirections;
            cosine[k] = std::cos(angle);
            sine[k] = -std::sin(angle);
        }
    }
};

// In-place radix-2 decimation-in-time transform of 64 complex values.
void transform64(double (&re)[kDirections], double (&im)[kDirections]) {
    static const Twiddles twiddles;
    for (int i = 1, j = 0; i < kDirections; ++i) {
        int bit = kDirections >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
    }
    for (int length = 2; length <= kDirections; length <<= 1) {
        int half = length / 2;
        int stride = kDirections / length;
        for (int start = 0; start < kDirections; start += length) {
            for (int k = 0; k < half; ++k) {
                double wr = twiddles.cosine[k * stride];
                double wi = twiddles.sine[k * stride];
                int a = start + k;
                int b = a + half;
                double tr = re[b] * wr - im[b] * wi;
                double ti = re[b] * wi + im[b] * wr;
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
}

}  // namespace

void buildDirectionTables(FeatureState& features, double SKIP) {
    for (int i = 0; i < kDirections; ++i) {
        features.RayCos[static_cast<size_t>(i)] = std::cos(i * kRayAngleStep) * SKIP;
        features.RaySin[static_cast<size_t>(i)] = std::sin(i * kRayAngleStep) * SKIP;
    }
}

void buildEdgeWeights(FeatureState& features) {
    for (int b = 0; b < kMapBins; ++b) {
        double distance = kScaleMax - b;
        features.EdgeWeight[static_cast<size_t>(b)] = std::exp(-5.0 * distance * distance / 1e6);
    }
}

int PreGetGC(Recogniser& recogniser, const GestureState& gesture, int image) {
    if (image != kDiffImageNo && image != kBrightImageNo && image != kEdgeImageNo) return -999;
    GcInfo& info = recogniser.features.ImageInfo[static_cast<size_t>(image)];
    info = GcInfo{};
    if (gesture.MotionImageOn[static_cast<size_t>(image)] != 0) {
        // The box of all on cells is the box the column scan, then the row scan inside the
        // columns found, would give; centre sums and count are taken over the same cells.
        const CellGrid& cells = imageOf(gesture, image);
        int xMin = kGridColumns, xMax = -1, yMin = kGridRows, yMax = -1;
        long count = 0, xSum = 0, ySum = 0;
        for (int y = 0; y < kGridRows; ++y) {
            const uint8_t* row = cells.data() + y * kGridColumns;
            for (int x = 0; x < kGridColumns; ++x) {
                if (x % 8 == 0) {
                    // Eight off cells at once are passed over in one test.
                    uint64_t eight;
                    std::memcpy(&eight, row + x, sizeof eight);
                    if (eight == 0) {
                        x += 7;
                        continue;
                    }
                }
                if (row[x] == 0) continue;
                xMin = std::min(xMin, x);
                xMax = std::max(xMax, x);
                yMin = std::min(yMin, y);
                yMax = std::max(yMax, y);
                ++count;
                xSum += x;
                ySum += y;
            }
        }
        if (count > 0) {
            info.XMin = xMin;
            info.XMax = xMax;
            info.YMin = yMin;
            info.YMax = yMax;
            info.CX = static_cast<int32_t>(xSum / count);
            info.CY = static_cast<int32_t>(ySum / count);
            int dx = xMax - xMin, dy = yMax - yMin;
            info.Radius = static_cast<int32_t>(0.5 * std::sqrt(double(dy * dy + dx * dx)));
        }
    }
    return skipCells(recogniser.params.SKIP) < info.Radius ? 0 : -999;
}

void featureGridStep(Recogniser& recogniser, GestureState& gesture, const CameraState& camera,
                     const CellGrid* replacement) {
    flipGridSide(gesture);
    if (replacement)
        currentGrid(gesture) = *replacement;
    else
        fillGridFromCamera(gesture, camera);
    if (gesture.rv == -1.0) {
        // The first turn after a reset compares the new picture with itself.
        flipGridSide(gesture);
        currentGrid(gesture) = previousGrid(gesture);
        gesture.rv = 0.0;
    }
    motionImageStep(gesture);
    PreGetGC(recogniser, gesture, kBrightImageNo);
    PreGetGC(recogniser, gesture, kEdgeImageNo);
    PreGetGC(recogniser, gesture, kDiffImageNo);

    FeatureState& features = recogniser.features;
    auto area = [](const GcInfo& info) {
        return std::abs((info.XMax - info.XMin) * (info.YMax - info.YMin));
    };
    int diffArea = area(features.ImageInfo[kDiffImageNo]);
    int brightArea = area(features.ImageInfo[kBrightImageNo]);
    features.AreaRatio = brightArea > 0 ? static_cast<double>(diffArea) / brightArea : 0.0;
    features.rvSum = gesture.rv + diffArea;
    features.rt =
        gesture.RefDiff > 0.0 ? gesture.rv * 4.0 / gesture.RefDiff + features.AreaRatio : 0.0;
}

void GetGC(Recogniser& recogniser, const GestureState& gesture, int v, Console& console) {
    if (v < 0 || v >= kViewPoints) {
        console.print("Illegal view point number in GetGC()..\n");
        recogniser.kb.freeAllSamples();
        throw PlayerExit{1, true};
    }
    FeatureState& features = recogniser.features;
    const size_t group = static_cast<size_t>(v / 4);
    const GroupSource source = kGroups[group];
    // GcImage holds the image of at most one group: the one whose flag is set.
    if (!features.GroupCopied[group]) {
        features.GcImage = imageOf(gesture, source.copied);
        features.GroupCopied.fill(0);
        features.GroupCopied[group] = 1;
    }
    features.work.info = source.box == kWholeGrid
                             ? kWholeGridInfo
                             : features.ImageInfo[static_cast<size_t>(source.box)];
}

int radialProfile(Recogniser& recogniser) {
    FeatureState& features = recogniser.features;
    GcRecord& record = features.work;
    const GcInfo box = record.info;
    const int R = box.Radius;
    // A SKIP below one cell walks the rays in the step count of SKIP 1.
    const int s = std::max(1, skipCells(recogniser.params.SKIP));
    auto inside = [](int value, int high) { return value >= 0 && value <= high; };
    if (!inside(box.XMin, kGridColumns - 1) || !inside(box.XMax, kGridColumns - 1) ||
        !inside(box.YMin, kGridRows - 1) || !inside(box.YMax, kGridRows - 1))
        return -1;
    if (box.XMin == 0 && box.XMax == 0 && box.YMin == 0 && box.YMax == 0) return -1;
    if (R <= s) return -1;

    double specRe[kDirections] = {};
    double specIm[kDirections] = {};
    std::fill(std::begin(record.Re), std::end(record.Re), 0.0);
    const int64_t steps = (int64_t{R} + s - 1) / s;
    // Samples k >= R of a step lie at 999 or beyond and never count.
    const int samplesPerStep = std::min(s, R);
    const double distanceStep = kScaleMax * recogniser.params.SKIP / R;
    // The cell a ray reaches is its position truncated toward zero. A coordinate truncates
    // into low .. high (low >= 0) exactly when it lies in (-1, high + 1) for low 0 and in
    // [low, high + 1) otherwise; testing the doubles first keeps every conversion defined (a
    // NaN fails every test).
    auto truncatesInto = [](double value, int low, int high) {
        return (low == 0 ? value > -1.0 : value >= low) && value < high + 1.0;
    };
    bool measured = false;
    for (int i = 0; i < kDirections; ++i) {
        double x = box.CX, y = box.CY, d = 0.0;
        int n = 0;
        double sum = 0.0;
        for (int64_t step = 0; step < steps; ++step) {
            y -= features.RaySin[static_cast<size_t>(i)];
            x += features.RayCos[static_cast<size_t>(i)];
            if (!truncatesInto(x, box.XMin, box.XMax) || !truncatesInto(y, box.YMin, box.YMax))
                break;
            size_t cell =
                static_cast<size_t>(static_cast<int>(y) * kGridColumns + static_cast<int>(x));
            if (features.GcImage[cell] != 0) {
                for (int k = 0; k < samplesPerStep; ++k) {
                    double at = (k == 0 ? 0.0 : k * kScaleMax / R) + d;
                    if (!(at >= 0.0 && at < kScaleMax)) continue;
                    int b = static_cast<int>(at);
                    sum += b / kScaleMax + features.EdgeWeight[static_cast<size_t>(b)];
                    ++n;
                }
            }
            d += distanceStep;
        }
        if (n > 0) {
            record.Re[i] = static_cast<double>(R) / n * sum;
            specRe[i] = record.Re[i];
            measured = true;
        }
    }
    transform64(specRe, specIm);
    for (int k = 0; k < kDirections; ++k)
        record.Ps[k] = std::sqrt(specRe[k] * specRe[k] + specIm[k] * specIm[k]);
    return measured ? 0 : -1;
}

bool normaliseFeatures(GcRecord& record) {
    double reMax = -INFINITY, psMax = -INFINITY;
    for (int i = 0; i < kDirections; ++i) {
        reMax = std::max(reMax, record.Re[i]);
        psMax = std::max(psMax, record.Ps[i]);
    }
    if (!(reMax > 0.0) || !(psMax > 0.0)) return false;
    for (int i = 0; i < kDirections; ++i) {
        record.Re[i] /= reMax;
        record.Ps[i] /= psMax;
    }
    return true;
}

}  // namespace kalvento
