#include "scene/keyframes.h"

#include <cmath>

#include "scene/accounted_arrays.h"

static constexpr float kThird = 0.33333334f;

void resizePositionKeys(TrackSet& track, uint32_t count) {
    resizeArray(track.positionKeys, track.positionKeyCount, count);
    track.positionKeyCount = count;
}

void resizeRotationKeys(TrackSet& track, uint32_t count) {
    resizeArray(track.rotationKeys, track.rotationKeyCount, count);
    track.rotationKeyCount = count;
}

void clearTrackSet(TrackSet& track) {
    freeArray(track.positionKeys, track.positionKeyCount);
    freeArray(track.rotationKeys, track.rotationKeyCount);
    track = TrackSet{};
}

void computePositionTangents(TrackSet& track) {
    uint32_t count = track.positionKeyCount;
    PositionKey* keys = track.positionKeys;
    if (count < 2) return;
    if (count == 2) {
        Vec3 delta = keys[1].position - keys[0].position;
        keys[0].incoming.zero();
        keys[1].outgoing.zero();
        keys[0].outgoing = delta * (1.0f - keys[0].tension);
        keys[1].incoming = delta * (1.0f - keys[1].tension);
        return;
    }
    for (uint32_t i = 1; i + 1 < count; i++) {
        PositionKey& k = keys[i];
        Vec3 a = (k.position - keys[i - 1].position) * (1.0f + k.bias);
        Vec3 b = (keys[i + 1].position - k.position) * (1.0f - k.bias);
        Vec3 ba = b - a;
        k.incoming = (a + ba * ((1.0f + k.continuity) * 0.5f)) * (1.0f - k.tension);
        k.outgoing = (a + ba * ((1.0f - k.continuity) * 0.5f)) * (1.0f - k.tension);
    }
    uint32_t n = count - 1;
    keys[0].outgoing = ((keys[1].position - keys[0].position) * 1.5f - keys[1].incoming * 0.5f) *
                       (1.0f - keys[0].tension);
    keys[n].outgoing.zero();
    keys[n].incoming =
        ((keys[n].position - keys[n - 1].position) * 1.5f - keys[n - 1].outgoing * 0.5f) *
        (1.0f - keys[n].tension);
}

// p (x) q: the rotation q applied after p's frame, as the keys compose.
static Quat compose(const Quat& p, const Quat& q) {
    Vec3 pv{p.x, p.y, p.z}, qv{q.x, q.y, q.z};
    Vec3 v = qv * p.w + pv * q.w + crossProduct(pv, qv);
    return Quat{v.x, v.y, v.z, p.w * q.w - pv.dot(qv)};
}

void rotationKeysToQuaternions(TrackSet& track) {
    RotationKey* keys = track.rotationKeys;
    for (uint32_t k = 0; k < track.rotationKeyCount; k++) {
        float h = keys[k].angle * 0.5f;
        float s = std::sin(h);
        keys[k].orientation =
            Quat{keys[k].axis.x * s, keys[k].axis.y * s, keys[k].axis.z * s, std::cos(h)};
    }
    for (uint32_t k = 1; k < track.rotationKeyCount; k++) {
        keys[k].orientation = compose(keys[k - 1].orientation, keys[k].orientation);
    }
}

void computeRotationControls(TrackSet& track) {
    uint32_t count = track.rotationKeyCount;
    RotationKey* keys = track.rotationKeys;
    if (count < 2) return;
    for (uint32_t i = 1; i + 1 < count; i++) {
        RotationKey& k = keys[i];
        Quat g1 = slerp(k.orientation, keys[i - 1].orientation, -(1.0f + k.bias) * kThird);
        Quat g2 = slerp(k.orientation, keys[i + 1].orientation, (1.0f - k.bias) * kThird);
        k.incoming =
            slerp(k.orientation, slerp(g1, g2, (1.0f + k.continuity) * 0.5f), k.tension - 1.0f);
        k.outgoing =
            slerp(k.orientation, slerp(g1, g2, 0.5f - k.continuity * 0.5f), 1.0f - k.tension);
    }
    uint32_t n = count - 1;
    RotationKey& first = keys[0];
    RotationKey& last = keys[n];
    first.incoming = Quat{};
    first.outgoing =
        slerp(first.orientation, keys[1].orientation,
              (1.0f + first.continuity * first.bias) * (1.0f - first.tension) * kThird);
    last.outgoing = Quat{};
    last.incoming = slerp(last.orientation, keys[n - 1].orientation,
                          (1.0f - last.continuity * last.bias) * (1.0f - last.tension) * kThird);
}

void positionAtKey(const TrackSet& track, uint32_t k, Vec3& out) {
    if (track.positionKeyCount == 0) return;
    if (k >= track.positionKeyCount) k = track.positionKeyCount - 1;
    out = track.positionKeys[k].position;
}

void rotationAtKey(const TrackSet& track, uint32_t k, Mat4& out) {
    if (track.rotationKeyCount == 0) return;
    if (k >= track.rotationKeyCount) k = track.rotationKeyCount - 1;
    track.rotationKeys[k].orientation.toKeyRotation(out);
}

// The segment search shared by the evaluators. Returns the segment index with u, or -1 with
// keyValue set to the key whose value is the output, or -1 with keyValue -1 when nothing is
// written.
struct Segment {
    int32_t index = -1;
    int32_t keyValue = -1;
    float u = 0.0f;
    int32_t time = 0;
};

// The requested time after looping and clamping to [start, end]. Looping needs a segment
// end: with end 0 the time is used as it is.
static int32_t effectiveTime(const TrackSet& track, int32_t time) {
    if (track.looping && track.end != 0) time %= track.end;
    if (time < track.start) time = track.start;
    if (time > track.end) time = track.end;
    return time;
}

template <typename Key>
static Segment findSegment(const TrackSet& track, const Key* keys, uint32_t count, int32_t time) {
    Segment seg;
    if (count == 0) return seg;
    if (count == 1) {
        seg.keyValue = 0;
        return seg;
    }
    time = effectiveTime(track, time);
    seg.time = time;
    for (uint32_t i = 0; i + 1 < count; i++) {
        if (keys[i].frame == keys[i + 1].frame) {
            seg.keyValue = int32_t(i);
            return seg;
        }
        if (keys[i].frame <= time && time < keys[i + 1].frame) {
            seg.index = int32_t(i);
            seg.u = float(time - keys[i].frame) / float(keys[i + 1].frame - keys[i].frame);
            return seg;
        }
    }
    return seg;
}

// The search over the position keys: where it ends on a key, that key's value is written.
// Returns the first key of the segment to interpolate, or null.
static const PositionKey* positionSegment(const TrackSet& track, int32_t time, Vec3& out,
                                          Segment& seg) {
    const PositionKey* keys = track.positionKeys;
    seg = findSegment(track, keys, track.positionKeyCount, time);
    if (seg.keyValue >= 0) out = keys[seg.keyValue].position;
    return seg.index < 0 ? nullptr : &keys[seg.index];
}

void positionLinear(const TrackSet& track, int32_t time, Vec3& out) {
    Segment seg;
    const PositionKey* a = positionSegment(track, time, out, seg);
    if (a == nullptr) return;
    const PositionKey* b = a + 1;
    float span = float(b->frame - a->frame);
    float elapsed = float(seg.time - a->frame);
    out.set(a->position.x + elapsed * (b->position.x - a->position.x) / span,
            a->position.y + elapsed * (b->position.y - a->position.y) / span,
            a->position.z + elapsed * (b->position.z - a->position.z) / span);
}

void positionSpline(const TrackSet& track, int32_t time, Vec3& out) {
    Segment seg;
    const PositionKey* a = positionSegment(track, time, out, seg);
    if (a == nullptr) return;
    const PositionKey* b = a + 1;
    float u = seg.u, u2 = u * u, u3 = u2 * u;
    float h1 = 2 * u3 - 3 * u2 + 1;
    float h2 = 3 * u2 - 2 * u3;
    float h3 = u3 - 2 * u2 + u;
    float h4 = u3 - u2;
    out = a->position * h1 + b->position * h2 + a->outgoing * h3 + b->incoming * h4;
}

// The same for the rotation keys.
static const RotationKey* rotationSegment(const TrackSet& track, int32_t time, Mat4& out,
                                          Segment& seg) {
    const RotationKey* keys = track.rotationKeys;
    seg = findSegment(track, keys, track.rotationKeyCount, time);
    if (seg.keyValue >= 0) keys[seg.keyValue].orientation.toKeyRotation(out);
    return seg.index < 0 ? nullptr : &keys[seg.index];
}

void rotationSlerp(const TrackSet& track, int32_t time, Mat4& out) {
    Segment seg;
    const RotationKey* ka = rotationSegment(track, time, out, seg);
    if (ka == nullptr) return;
    slerp(ka->orientation, ka[1].orientation, seg.u).toKeyRotation(out);
}

void rotationSpline(const TrackSet& track, int32_t time, Mat4& out) {
    Segment seg;
    const RotationKey* first = rotationSegment(track, time, out, seg);
    if (first == nullptr) return;
    const RotationKey& ka = first[0];
    const RotationKey& kb = first[1];
    float u = seg.u;
    Quat a = slerp(ka.orientation, ka.outgoing, u);
    Quat b = slerp(ka.outgoing, kb.incoming, u);
    Quat c = slerp(kb.incoming, kb.orientation, u);
    Quat d = slerp(a, b, u);
    Quat e = slerp(b, c, u);
    slerp(d, e, u).toKeyRotation(out);
}

void evaluatePosition(const TrackSet& track, bool linear, Vec3& out) {
    if (linear)
        positionLinear(track, track.time, out);
    else
        positionSpline(track, track.time, out);
}

void evaluateTransform(const TrackSet& tracks, Vec3& position, Mat4& rotation) {
    // Outside the keyed range the evaluators write nothing: the object then holds its last key
    // (its first before the first key) instead of falling back to the origin.
    int32_t time = effectiveTime(tracks, tracks.time);
    if (tracks.positionKeyCount > 0) {
        uint32_t last = tracks.positionKeyCount - 1;
        positionAtKey(tracks, time >= tracks.positionKeys[last].frame ? last : 0, position);
    }
    evaluatePosition(tracks, tracks.linear, position);
    if (tracks.rotationKeyCount > 0) {
        uint32_t last = tracks.rotationKeyCount - 1;
        rotationAtKey(tracks, time >= tracks.rotationKeys[last].frame ? last : 0, rotation);
    }
    if (tracks.linear)
        rotationSlerp(tracks, tracks.time, rotation);
    else
        rotationSpline(tracks, tracks.time, rotation);
}
