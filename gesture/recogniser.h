#pragma once
// The gesture recogniser's state: the knowledge base (what was learned and the parameters it
// is tuned with), the working tables derived from it, the features of the current turn, the
// recognition state with its outputs, and the learning runs. The player owns one Recogniser;
// the recogniser's operations take it by reference, together with the GestureState of the
// state record (cell grids, motion images and the four parameters the calibration shares).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/state.h"

namespace kalvento {

inline constexpr int kViewPoints = 32;  // printed as MODE
inline constexpr int kGestures = 8;     // printed as GESTURE
inline constexpr int kSamples = 10;     // printed as SAMPLE; also the longest motion in turns
inline constexpr int kDirections = 64;  // rays of the radial profile
inline constexpr int kProtocolSlots = 200;
inline constexpr int kMapBins = 1000;
inline constexpr int kMaxKbRecords = kViewPoints * kGestures * kSamples;  // 2560
inline constexpr int kViewGroups = kViewPoints / 4;
inline constexpr int kOkHistory = 30;

// One learned sample; also the 1040-byte record of knowledge-base file 4.
struct KbRecord {
    int32_t viewPoint;
    int32_t gesture;
    int32_t sample;
    int32_t reserved;        // written as 0, ignored on reading
    double Re[kDirections];  // radial profile of the motion image
    double Ps[kDirections];  // magnitude spectrum of that profile
};
static_assert(sizeof(KbRecord) == 1040);
static_assert(offsetof(KbRecord, Re) == 16);
static_assert(offsetof(KbRecord, Ps) == 528);

// One gesture's label, 28 bytes in knowledge-base file 2.
struct GestureLabel {
    char name[20];         // zero-terminated; "A" .. "H" at start
    int32_t index;         // the gesture number
    int32_t MotionLength;  // turns (1 .. 10) of the last learned motion, 0 for none
};
static_assert(sizeof(GestureLabel) == 28);

// One slot of the learning protocol, 24 bytes in knowledge-base file 2.
struct ProtocolEntry {
    int32_t Valid;     // 1 when the view point matched the candidate in that turn
    int32_t reserved;  // written as 0
    double Score;      // the candidate's similarity 0 .. 1
    double Sample;     // 1-based number of the best-matching sample
};
static_assert(sizeof(ProtocolEntry) == 24);

// Extent of the on cells of a motion image, in cells (box inclusive).
struct GcInfo {
    int32_t XMin, XMax, YMin, YMax;
    int32_t CX, CY;
    int32_t Radius;
};

// The feature record of one view point in one turn.
struct GcRecord {
    GcInfo info;
    int32_t reserved;
    double Re[kDirections];
    double Ps[kDirections];
};
static_assert(sizeof(GcRecord) == 1056);

// The scalars of knowledge-base file 1, with their start values. DThreshold, MThreshold, GRATE
// and CountdownStep, also in file 1, live in GestureState because the threshold calibration
// uses them without the recogniser.
struct KbParameters {
    int OK_HIGH = 500;             // width factor of the similarity kernel
    double OCThreshold = -1.0;     // least rank agreement that keeps a motion alive
    int pos_num = 0;               // gesture being learned, 0 .. 7
    double GRATE_SUM = 0.0;        // stored and restored only
    int GRATE_COUNT = 0;           // stored and restored only
    int NEROI = 32;                // view points taken into account
    double SKIP = 1.0;             // ray step of the radial profile, in cells
    double GRATE_SUM2 = 0.0;       // stored and restored only
    double RSKIP = 1.0;            // sample stride when matching
    int GRATE_COUNT2 = 0;          // stored and restored only
    double RF_COEFFICIENT = 0.01;  // scale of the AcceptLevel learned in review
    int IdealGRATE = 0;            // stored and restored only
    int SimilarRuns = 0;           // similar-motion learning runs still to do
    double VarFloor = 0.1;         // added to variances in the view-point weighting
    int ConfirmFrames = 8;         // turns of (dis)agreement before a decision is forced or dropped
    double KbSpare = 8.0;          // stored and restored only
    int FixedViewPointFlag = 0;    // 1: view-point weights come from FixedViewPoint
};

// What was learned: the samples and the tables saved with them. Samples are owned here; a
// present sample has a record, an absent one none.
class KnowledgeBase {
public:
    KnowledgeBase();

    // The sample (v, g, s), or nullptr when it is absent or an index is out of range.
    KbRecord* sample(int v, int g, int s);
    const KbRecord* sample(int v, int g, int s) const;
    bool exists(int v, int g, int s) const { return sample(v, g, s) != nullptr; }
    // The sample (v, g, s), created zero-filled (index fields set) when absent. The indices
    // must be in range.
    KbRecord& ensureSample(int v, int g, int s);
    // Stores `record` as sample (v, g, s), replacing a present one; the index fields are set
    // from (v, g, s). The indices must be in range.
    void storeSample(int v, int g, int s, const KbRecord& record);
    // Deletes one sample; false when it was absent.
    bool deleteSample(int v, int g, int s);
    // Deletes every present sample.
    void freeAllSamples();
    // Deletes every present sample of gesture g; when at least one was deleted, its 32
    // SampleCount entries become -1. Returns the number deleted.
    int deleteGesture(int g);
    int presentSamples() const;

    ProtocolEntry& protocol(int p, int k, int v, int n) {
        return LearnProtocol[protocolIndex(p, k, v, n)];
    }
    const ProtocolEntry& protocol(int p, int k, int v, int n) const {
        return LearnProtocol[protocolIndex(p, k, v, n)];
    }
    static size_t protocolIndex(int p, int k, int v, int n) {
        return ((static_cast<size_t>(p) * kGestures + static_cast<size_t>(k)) * kViewPoints +
                static_cast<size_t>(v)) *
                   kProtocolSlots +
               static_cast<size_t>(n);
    }

    // Learned samples per view point and gesture, -1 for none.
    std::array<std::array<int32_t, kGestures>, kViewPoints> SampleCount;
    std::array<GestureLabel, kGestures> labels;
    // [p][k][v][n], last index fastest: gesture taught p, candidate k, view point v, slot n.
    std::vector<ProtocolEntry> LearnProtocol;
    std::array<int32_t, kGestures> SimilarFrames{};  // next protocol slot per gesture
    std::array<int32_t, kViewPoints> ViewPointOn;    // 1: takes part in learning and matching
    std::array<int32_t, kViewPoints> FixedViewPoint;
    std::array<double, kGestures> AcceptLevel;
    std::array<double, kGestures> SpareLevel;
    std::array<double, kGestures> OK_VAR;
    std::array<double, kGestures> RatioLevel;
    std::array<std::array<double, kViewPoints>, kGestures> ReviewViewScore{};
    std::array<std::array<double, 3>, kGestures> ReviewSum{};
    std::array<std::array<int32_t, 3>, kGestures> ReviewCount{};

private:
    static size_t slot(int v, int g, int s) {
        return (static_cast<size_t>(v) * kGestures + static_cast<size_t>(g)) * kSamples +
               static_cast<size_t>(s);
    }
    std::array<std::unique_ptr<KbRecord>, kMaxKbRecords> samples_;
};

// The features of the current turn and the tables they are computed with.
struct FeatureState {
    std::array<double, kDirections> RayCos{};  // cos(i * 2pi / 64) * SKIP
    std::array<double, kDirections> RaySin{};
    std::array<double, kMapBins> EdgeWeight{};  // exp(-5 (999 - b)^2 / 1e6)
    // GcInfo of motion image 1 (DiffImage), 2 (BrightImage) and 4 (EdgeImage); 0 and 3 unused.
    std::array<GcInfo, 5> ImageInfo{};
    CellGrid FourthImage{};  // the fourth image slot, only ever cleared
    CellGrid GcImage{};      // the working motion image of a view point
    GcRecord work{};         // the working feature record
    GcRecord groupCache{};   // the feature record of the current view-point group
    std::array<int, kViewGroups> GroupCopied{};  // image of the group copied this turn
    int LastViewPoint = -99;
    int GroupCacheValid = 0;
    int NormDone = 0;
    double AreaRatio = 0.0;
    double rvSum = 0.0;
    double rt = 0.0;
};

// Working tables derived from the knowledge base; rebuilt, never stored.
struct ViewWeightState {
    ViewWeightState();
    double& map(int g, int v, int bin) {
        return ProtocolMap[(static_cast<size_t>(g) * kViewPoints + static_cast<size_t>(v)) *
                               kMapBins +
                           static_cast<size_t>(bin)];
    }
    double map(int g, int v, int bin) const {
        return ProtocolMap[(static_cast<size_t>(g) * kViewPoints + static_cast<size_t>(v)) *
                               kMapBins +
                           static_cast<size_t>(bin)];
    }

    std::array<double, kMapBins> KernelSum{};
    std::array<std::array<double, kViewPoints>, kGestures> ViewWeight;
    std::array<std::array<double, kViewPoints>, kGestures> SavedViewWeight;
    std::array<std::array<int, kViewPoints>, kGestures> ViewUsable{};
    std::array<double, kGestures> GestureWeight{};
    std::vector<double> ProtocolMap;  // [g][v][bin]
    std::array<double, kGestures> PhaseDiffLimit;
};

// One row of the turn table: the results of view point v in motion turn j.
struct TurnRow {
    std::array<int, kGestures> Gesture;  // k when gesture k got a best sample, else -1
    std::array<double, kGestures> Score;
    std::array<int, kGestures> Sample;  // 1-based best sample, 0 for none
};

struct RankEntry {
    int gesture = 0;
    double score = 0.0;
};

// What a recogniser turn reports; cleared at the end of every turn (rvSum and rt survive in
// FeatureState).
struct GestureOutputs {
    int GestureResult = -2;  // 0 .. 7, -2 nothing, -3 rejected
    int PHASE = -4;          // 1 .. MotionLength, -1 no motion, -4 cleared
    int SPEED = -4;
    int ACCEL = -4;
    int WIDTH = -4;
    int INP_FNUM = -4;
    int MotionLengthOut = -4;
    char GestureName[143] = {};
};

// The state of discrimination between and within turns.
struct RecognitionState {
    RecognitionState();
    // The results of view point v in motion turn j.
    TurnRow& turnRow(int v, int j) { return TurnTable[static_cast<size_t>(v * kSamples + j)]; }
    std::array<TurnRow, kViewPoints * kSamples> TurnTable;  // row v * 10 + j
    int mflg = 0;
    std::array<double, kGestures> CumScore{};
    std::array<double, kGestures> TurnScore{};
    std::array<RankEntry, kGestures> CumRank{};
    std::array<RankEntry, kGestures> TurnRank{};
    double FrameMatrix[kSamples][kGestures][kViewPoints] = {};
    double PhaseRow[kSamples][kGestures] = {};
    std::array<double, kSamples> PhaseSeries{};
    std::array<double, kSamples> PhaseTrack{};
    double PhaseMin = 11.0;
    double PhaseMax = -1.0;
    int MinInput = 0;
    int MaxInput = 0;
    int SpeedSign = 1;
    std::array<double, 5> PhaseRing5{};
    std::array<double, 3> PhaseRing3{};
    int Ring5Pos = 0;
    int Ring3Pos = 0;
    int AgreeCount = 0;
    int DisagreeCount = 0;
    int DropFlag = 0;
    int Candidate = -1;
    int PrevCandidate = -1;
    std::array<int, kGestures> InputCount{};
    double RankAgreement = 0.0;
    double SampleSpread = 0.0;
    std::array<double, kViewPoints> ViewShare{};
    std::array<std::array<int, kOkHistory>, kGestures> OkHistory{};
};

// The learning runs.
struct LearningState {
    int AutoLearn = 0;   // 0 off; 1 learn gestures 0 .. GestureMax; 2+ only GestureMax
    int GestureMax = 0;  // highest gesture the automatic driver learns
    int REVIEW_MODE = 0;
    std::array<CellGrid, kSamples> StoredGrid{};  // grids of the similar motion, for the review
    int StoredCount = 0;
    int ReviewFrame = 0;
    int LearnTarget = -1;  // gesture of the standard learning under way, -1 none
};

// The follower (chosen with GestureFollow): every motion turn it estimates how far along the
// learned samples of each gesture the performer is, with one hidden state per learned sample and
// the forward algorithm, so that the clip follows a partial or reversed motion turn by turn.
// Fixed tables only: a turn allocates nothing.
struct FollowerState {
    bool enabled = false;  // GestureFollow of the turn
    // Distance of this motion turn's features to each learned sample, by view point, gesture and
    // sample; -1 where nothing was measured. Filled by the matching of a recognition turn.
    double distance[kViewPoints][kGestures][kSamples] = {};
    // Forward probabilities per gesture over its learned samples, normalised to sum 1.
    double alpha[kGestures][kSamples] = {};
    std::array<double, kGestures> logLikelihood{};  // of the motion so far, per gesture
    int quietTurns = 1 << 20;                        // turns without motion since the last one
    int gesture = -1;                                // the gesture followed, -1 none
    double position = -1.0;  // how far along it: 0 .. 1 of the learned motion, -1 none
    double sample = -1.0;    // the sample number the position comes from (between samples)
    bool backward = false;   // the performer goes back along the motion
    bool moved = false;      // the position changed in this turn
};

struct Recogniser {
    KbParameters params;
    KnowledgeBase kb;
    FeatureState features;
    ViewWeightState weights;
    RecognitionState recognition;
    GestureOutputs outputs;
    LearningState learning;
    FollowerState follower;
};

// What the recogniser does in a turn. The learning runs set at most one of the learn target,
// SimilarRuns and REVIEW_MODE at a time; recogniserMode() is the one place that reads them as a
// mode, so every step asks it instead of combining the three itself.
enum class RecogniserMode {
    Recognising,       // no learning run: motions are judged into gestures
    StandardLearning,  // a learn target: every motion turn becomes its samples
    SimilarLearning,   // SimilarRuns >= 1: the turns of gesture pos_num fill the learning protocol
    Review,            // REVIEW_MODE 1: the kept grids of the similar motion are judged again
};

// The mode of a turn with the learn target `learnTarget` (-1 none).
RecogniserMode recogniserMode(const Recogniser& recogniser, int learnTarget);
// The mode with the learn target of the learning state (LearnTarget).
RecogniserMode recogniserMode(const Recogniser& recogniser);

}  // namespace kalvento
