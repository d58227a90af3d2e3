#pragma once

// The kernel of a group of up to eight lanes, written once over a register
// type V of W lanes: LanePair (W = 2, SSE2), LaneQuad (W = 4, AVX2) or
// LaneOcto (W = 8, AVX-512).
// Each instruction set's translation unit instantiates it for its own type
// and is the only one that includes this header.
//
// A stretch runs in three passes: the read heads of all lanes, then their two
// filters, then each lane's line writes and output stage. The first two hold
// the recurrences, and with all lanes in one loop the processor works on
// eight of them at once. The last has none, so it runs W samples to a
// register, one lane after the other. Each lane does exactly the scalar
// arithmetic of the sample-by-sample path in the same order (no fused
// multiply-add), so the results are identical to the bit.
//
// Beside the operations of TapSteps.h, V has LoadInts (W ints as doubles),
// First (lane 0), Rotate (lane i takes lane i - 1, lane 0 the last),
// BlendFirst (lane 0 from the second value) and Transpose (W registers' rows
// become columns).

#include "dsp/HeadPair.h"
#include "plugin/DelayKernel.h"

template <class V> struct WideKernel
{
    static constexpr int W = kLanesOf<V>;
    static constexpr int kSlots = LaneGroup::kSlots;
    static_assert(kSlots % W == 0, "a group fills whole registers");

    // What the read heads of an unused slot in a register see.
    static constexpr double kSilence[kLongestStretch] = {};

    // A record's W slots from first on into registers, and back.
    template <class Regs, class Rows>
    [[gnu::always_inline]] static void LoadSlots(Regs& r, const Rows& rows, int first)
    {
        ForEachField([first](V& v, const Slots& row) { v = V::Load(row.lane + first); }, r, rows);
    }
    template <class Regs, class Rows>
    [[gnu::always_inline]] static void StoreSlots(const Regs& r, Rows& rows, int first)
    {
        ForEachField([first](const V& v, Slots& row) { v.Store(row.lane + first); }, r, rows);
    }

    // Both allpass read heads of the W lanes in slots first .. first + W - 1,
    // and the crossfade from the previous head to the current one.
    struct Heads
    {
        const double* oldP[W];
        const double* newP[W];
        TapHeads<V> h;

        [[gnu::always_inline]] void Load(const LaneGroup& g, int first)
        {
            for (int i = 0; i < W; ++i)
            {
                const bool used = first + i < g.laneCount;
                oldP[i] = used ? g.lanes[first + i]->readOld : kSilence;
                newP[i] = used ? g.lanes[first + i]->readNew : kSilence;
            }
            LoadSlots(h, g.heads, first);
        }
        // The samples under the W heads at n.
        [[gnu::always_inline]] static V At(const double* const* p, int n)
        {
            const double* at[W];
            for (int i = 0; i < W; ++i)
                at[i] = p[i] + n;
            return V::Gather(at);
        }
        // The samples under the W heads at n .. n + W - 1, one register per
        // sample.
        [[gnu::always_inline]] static void Block(const double* const* p, int n, V* s)
        {
            for (int i = 0; i < W; ++i)
                s[i] = V::Load(p[i] + n);
            Transpose(s);
        }
        // Samples n .. n + W - 1 of the W lanes into ys (stride doubles per
        // sample).
        [[gnu::always_inline]] void ReadBlock(int n, double* ys, int stride)
        {
            V sOld[W], sNew[W];
            Block(oldP, n, sOld);
            Block(newP, n, sNew);
#pragma GCC unroll 8
            for (int i = 0; i < W; ++i)
                h.Read(sOld[i], sNew[i]).Store(ys + (n + i) * stride);
        }
        [[gnu::always_inline]] void ReadOne(int n, double* ys, int stride)
        {
            h.Read(At(oldP, n), At(newP, n)).Store(ys + n * stride);
        }
        [[gnu::always_inline]] void Store(LaneGroup& g, int first, int count) const
        {
            StoreSlots(h, g.heads, first);
            for (int i = 0; i < W && first + i < g.laneCount; ++i)
            {
                g.lanes[first + i]->readOld += count;
                g.lanes[first + i]->readNew += count;
            }
        }
    };

    // Samples from .. count - 1 of the heads in h0 (and h1 when R is 2),
    // read relative to their lanes' positions at from: crossfaded head
    // outputs out, at ys[n * stride + slot - first].
    template <int R>
    [[gnu::always_inline]] static void ReadSpan(Heads& h0, Heads& h1, int from, int count,
                                                double* ys, int stride)
    {
        double* const at = ys + from * stride;
        const int length = count - from;
        int n = 0;
        for (; n + W <= length; n += W)
        {
            h0.ReadBlock(n, at, stride);
            if constexpr (R == 2) h1.ReadBlock(n, at + W, stride);
        }
        for (; n < length; ++n)
        {
            h0.ReadOne(n, at, stride);
            if constexpr (R == 2) h1.ReadOne(n, at + W, stride);
        }
    }

    // The prepared step for slots first .. first + width - 1: the idle head,
    // with its allpass state, becomes the current one at the prepared slot.
    static void TakeSlots(LaneGroup& g, int first, int width)
    {
        Allpass<Slots>& old = g.heads.old;
        Allpass<Slots>& current = g.heads.current;
        const auto swap = [](double* a, double* b)
        {
            const V held = V::Load(a);
            V::Load(b).Store(a);
            held.Store(b);
        };
        for (int q = first; q < first + width; q += W)
        {
            V::Load(current.coefficient.lane + q).Store(old.coefficient.lane + q);
            V::Load(g.pendingCoef.lane + q).Store(current.coefficient.lane + q);
            swap(old.input.lane + q, current.input.lane + q);
            swap(old.output.lane + q, current.output.lane + q);
            V(HeadPair::kFadeStart).Store(g.heads.fade.lane + q);
        }
        for (int j = first; j < first + width && j < g.laneCount; ++j)
        {
            LaneState& s = *g.lanes[j];
            s.readOld = s.readNew;
            s.readNew = s.base + static_cast<int>(g.pendingSlot.lane[j]);
        }
    }

    // The read heads of R registers' lanes from slot first on: ring samples
    // in, crossfaded head outputs out (ys[n * stride + slot - first]). With
    // stepAt < count the prepared step is taken after stepAt samples.
    template <int R>
    static void ReadHeads(LaneGroup& g, int first, int count, double* ys, int stride, int stepAt)
    {
        Heads h0, h1;
        const auto load = [&]
        {
            h0.Load(g, first);
            if constexpr (R == 2) h1.Load(g, first + W);
        };
        const auto store = [&](int moved)
        {
            h0.Store(g, first, moved);
            if constexpr (R == 2) h1.Store(g, first + W, moved);
        };
        load();
        ReadSpan<R>(h0, h1, 0, stepAt, ys, stride);
        if (stepAt < count)
        {
            store(stepAt);
            TakeSlots(g, first, W * R);
            load();
            ReadSpan<R>(h0, h1, stepAt, count, ys, stride);
        }
        store(stepAt < count ? count - stepAt : count);
    }

    // High-pass, then low-pass, of R registers' lanes from slot first on: ys
    // in (as ReadHeads leaves them), each lane's filtered samples out in a row
    // of byLane.
    template <int R>
    static void RunFilters(LaneGroup& g, int first, int count, const double* ys, int stride,
                           double (*byLane)[kLongestStretch])
    {
        TapFilters<V> f0, f1;
        LoadSlots(f0, g.filters, first);
        if constexpr (R == 2) LoadSlots(f1, g.filters, first + W);
        // Lane k's filtered samples n .. n + W - 1 from l[i] = sample n + i.
        const auto put = [&](V* l, int firstLane, int n)
        {
            Transpose(l);
            for (int k = 0; k < W; ++k)
                l[k].Store(byLane[firstLane + k] + n);
        };
        int n = 0;
        for (; n + W <= count; n += W)
        {
            V l0[W], l1[W];
#pragma GCC unroll 8
            for (int i = 0; i < W; ++i)
            {
                const double* y = ys + (n + i) * stride;
                l0[i] = f0.Run(V::Load(y));
                if constexpr (R == 2) l1[i] = f1.Run(V::Load(y + W));
            }
            put(l0, first, n);
            if constexpr (R == 2) put(l1, first + W, n);
        }
        for (; n < count; ++n)
        {
            double l[W * R];
            f0.Run(V::Load(ys + n * stride)).Store(l);
            if constexpr (R == 2) f1.Run(V::Load(ys + n * stride + W)).Store(l + W);
            for (int k = 0; k < W * R; ++k)
                byLane[first + k][n] = l[k];
        }
        StoreSlots(f0, g.filters, first);
        if constexpr (R == 2) StoreSlots(f1, g.filters, first + W);
    }

    // One lane's output stage, line writes and main-output shares, W samples
    // to a register, from the lane's filtered samples l. Block by block, each
    // feedback value goes to its write slot before the inputs are added at
    // the injection slots: the per-sample order, because no injection slot of
    // the stretch is written later in it.
    static void RunOutputs(LaneState& s, int count, const double* l, double* left, double* right)
    {
        const double* const port = s.port;
        const double* const src = s.source;
        double* const out = s.out;
        double* const write = s.write;
        double* const inject = s.inject;
        OutputStage<V> stage;
        ForEachField([](V& q, const double& v) { q = V(v); }, stage, s.output);
        // Sample n writes the feedback sample of sample n - 1; the rotated
        // register's first lane carries the last one over.
        V carried(s.feedbackSample);
        const bool sameSlot = inject == write;
        int n = 0;
        for (; n + W <= count; n += W)
        {
            const V x = LineInput(V::Load(port + n), V::Load(src + n));
            const auto r = stage.Run(x, V::Load(l + n));
            r.out.Store(out + n);
            (V::Load(left + n) + stage.toLeft * r.mains).Store(left + n);
            (V::Load(right + n) + stage.toRight * r.mains).Store(right + n);
            const V rotated = Rotate(r.feedback);
            const V written = BlendFirst(rotated, carried);
            carried = rotated;
            if (sameSlot)
            {
                (written + x).Store(write + n);
            }
            else
            {
                written.Store(write + n);
                (V::Load(inject + n) + x).Store(inject + n);
            }
        }
        // The last samples one at a time, each in every lane of a register.
        double fb = carried.First();
        for (; n < count; ++n)
        {
            const V x = LineInput(V(port[n]), V(src[n]));
            const auto r = stage.Run(x, V(l[n]));
            out[n] = r.out.First();
            left[n] += (stage.toLeft * r.mains).First();
            right[n] += (stage.toRight * r.mains).First();
            write[n] = fb;
            inject[n] += x.First();
            fb = r.feedback.First();
        }
        s.feedbackSample = fb;
        s.write += count;
        s.inject += count;
    }

    // The read heads and filters of the two registers from slot first on
    // (one when the lanes end before the second); the filter recurrences of
    // both overlap.
    [[gnu::always_inline]] static void RunRegisters(LaneGroup& g, int first, int count, double* ys,
                                                    double (*byLane)[kLongestStretch], int stepAt)
    {
        double* const y = ys + first;
        if (first + W < g.laneCount)
        {
#if defined(__x86_64__)
            // Sixteen registers hold two registers' heads at once.
            ReadHeads<2>(g, first, count, y, kSlots, stepAt);
#else
            // Eight do not: one register's heads at a time.
            ReadHeads<1>(g, first, count, y, kSlots, stepAt);
            ReadHeads<1>(g, first + W, count, y + W, kSlots, stepAt);
#endif
            // With eight registers the two filter states spill, which still
            // costs less than running one register's after the other's.
            RunFilters<2>(g, first, count, y, kSlots, byLane);
        }
        else
        {
            ReadHeads<1>(g, first, count, y, kSlots, stepAt);
            RunFilters<1>(g, first, count, y, kSlots, byLane);
        }
    }

    static void RunSplit(LaneGroup& g, int count, double* left, double* right, int stepAt)
    {
        alignas(64) double ys[kLongestStretch * kSlots];
        alignas(64) double byLane[kSlots][kLongestStretch];
        if constexpr (W == kSlots)
        {
            ReadHeads<1>(g, 0, count, ys, kSlots, stepAt);
            RunFilters<1>(g, 0, count, ys, kSlots, byLane);
        }
        else if constexpr (2 * W == kSlots)
        {
            RunRegisters(g, 0, count, ys, byLane, stepAt);
        }
        else
        {
            for (int first = 0; first < g.laneCount; first += 2 * W)
                RunRegisters(g, first, count, ys, byLane, stepAt);
        }
        for (int j = 0; j < g.laneCount; ++j)
        {
            RunOutputs(*g.lanes[j], count, byLane[j], left, right);
        }
    }

    // Whether the three passes give the per-sample result over a stretch in
    // which no position wraps: nothing read is written during the stretch,
    // and no injection slot is written later in it.
    static bool Separable(const LaneState& s, int count)
    {
        const std::ptrdiff_t ahead = s.inject - s.write;
        return ReadsClearOfWrites(s, count) && !(ahead >= 1 && ahead < count);
    }

    // A group whose stretch cannot run in passes, lane after lane, sample by
    // sample. No lane hears another, so each main-output sample still
    // receives the lanes' shares in lane order.
    static void RunLaneByLane(LaneGroup& g, int count, double* left, double* right)
    {
        ScatterGroup(g);
        for (int j = 0; j < g.laneCount; ++j)
        {
            RunLane(*g.lanes[j], count, left, right);
        }
        Gather(g);
    }

    // The lanes' positions as slot indices in their rings; slots past the
    // last lane hold 0.
    struct Positions
    {
        int length[kSlots] = {}, write[kSlots] = {}, inject[kSlots] = {};
        int readOld[kSlots] = {}, readNew[kSlots] = {};

        explicit Positions(const LaneGroup& g)
        {
            for (int j = 0; j < g.laneCount; ++j)
            {
                const LaneState& s = *g.lanes[j];
                length[j] = static_cast<int>(s.end - s.base);
                write[j] = static_cast<int>(s.write - s.base);
                inject[j] = static_cast<int>(s.inject - s.base);
                readOld[j] = static_cast<int>(s.readOld - s.base);
                readNew[j] = static_cast<int>(s.readNew - s.base);
            }
        }
    };

    // The forward distance from slot from to slot to round a ring of len
    // slots.
    [[gnu::always_inline]] static V Ahead(V to, V from, V len)
    {
        const V d = to - from;
        return d + Select(V(0.0) > d, len, V(0.0));
    }

    // The samples before a position reaches the ring's end.
    [[gnu::always_inline]] static V Room(V len, V write, V inject, V readOld, V readNew)
    {
        return Min(Min(len - write, len - inject), Min(len - readOld, len - readNew));
    }

    // The least distance, either way round the ring, between a read head and
    // a written slot (the write and the injection).
    [[gnu::always_inline]] static V Clearance(V len, V write, V inject, V readOld, V readNew)
    {
        const auto nearest = [&](V read, V written)
        {
            const V d = Ahead(read, written, len);
            return Min(d, len - d);
        };
        return Min(Min(nearest(readOld, write), nearest(readOld, inject)),
                   Min(nearest(readNew, write), nearest(readNew, inject)));
    }

    // 1 where every stretch of up to gap samples can run in passes, else 0:
    // no read slot within gap of a written one, no injection 1 .. gap - 1
    // slots ahead of the write (ahead), a ring of at least 2 gap slots.
    [[gnu::always_inline]] static V Apart(V len, V clearance, V ahead, int gap)
    {
        const V zero(0.0);
        const V fits = Select(V(2.0 * gap) <= len, Select(V(gap) <= clearance, V(1.0), zero), zero);
        return Select(V(1.0) <= ahead, Select(ahead <= V(gap - 1.0), zero, fits), fits);
    }

    // Whether every lane's flag is set.
    static bool AllSet(const LaneGroup& g, const Slots& flags)
    {
        for (int j = 0; j < g.laneCount; ++j)
            if (flags.lane[j] == 0.0) return false;
        return true;
    }

    // The least room among the lanes.
    static int LeastRoom(const LaneGroup& g, const Slots& room)
    {
        int least = 1 << 30;
        for (int j = 0; j < g.laneCount; ++j)
        {
            const int r = static_cast<int>(room.lane[j]);
            least = r < least ? r : least;
        }
        return least;
    }

    // Works out separable and untilWrap from the lanes' positions.
    static void Survey(LaneGroup& g)
    {
        const Positions at(g);
        Slots room, ok;
        for (int first = 0; first < g.laneCount; first += W)
        {
            const V len = V::LoadInts(at.length + first);
            const V write = V::LoadInts(at.write + first);
            const V inject = V::LoadInts(at.inject + first);
            const V readOld = V::LoadInts(at.readOld + first);
            const V readNew = V::LoadInts(at.readNew + first);
            Room(len, write, inject, readOld, readNew).Store(room.lane + first);
            Apart(len, Clearance(len, write, inject, readOld, readNew), Ahead(inject, write, len),
                  DelayTap::kControlInterval)
                .Store(ok.lane + first);
        }
        g.separable = AllSet(g, ok);
        g.untilWrap = LeastRoom(g, room);
    }

    static void Gather(LaneGroup& g)
    {
        GatherGroup(g);
        Survey(g);
    }

    static void PrepareStep(LaneGroup& g, const double* offset, int ahead)
    {
        const Positions at(g);
        Slots room, ok, across;
        for (int first = 0; first < g.laneCount; first += W)
        {
            const V len = V::LoadInts(at.length + first);
            // The positions when the step falls, within the ring.
            const auto later = [&](const int* p)
            {
                const V x = V::LoadInts(p + first) + V(ahead);
                return x - Select(len <= x, len, V(0.0));
            };
            const V write = later(at.write);
            const V inject = later(at.inject);
            // The head that goes idle is the current one.
            const V idle = later(at.readNew);
            const V z =
                GlideDistance(V::Load(g.glideA.lane + first), V::Load(g.glideB.lane + first),
                              V::Load(g.glide.lane + first), V::Load(g.target.lane + first));
            z.Store(g.glide.lane + first);
            const auto place = PlaceHead(z * len + V::Load(offset + first), write, len);
            V::Load(g.delayNew.lane + first).Store(g.delayOld.lane + first);
            place.delay.Store(g.delayNew.lane + first);
            place.coefficient.Store(g.pendingCoef.lane + first);
            place.slot.Store(g.pendingSlot.lane + first);
            Room(len, write, inject, idle, place.slot).Store(room.lane + first);
            const V clearance = Clearance(len, write, inject, idle, place.slot);
            const V injectAhead = Ahead(inject, write, len);
            Apart(len, clearance, injectAhead, DelayTap::kControlInterval).Store(ok.lane + first);
            // A stretch that takes the step inside runs up to
            // kLongestStretch samples.
            if (ahead > 0)
                Apart(len, clearance, injectAhead, kLongestStretch).Store(across.lane + first);
        }
        g.pendingSeparable = AllSet(g, ok);
        g.pendingUntilWrap = LeastRoom(g, room);
        g.pendingAcross = ahead > 0 && AllSet(g, across);
    }

    static void TakeStep(LaneGroup& g)
    {
        TakeSlots(g, 0, kSlots);
        g.separable = g.pendingSeparable;
        g.untilWrap = g.pendingUntilWrap;
        ++g.steps;
    }

    static void Run(LaneGroup& g, int count, double* left, double* right, int stepAt)
    {
        if (stepAt < count)
        {
            RunSplit(g, count, left, right, stepAt);
            g.separable = g.pendingSeparable;
            g.untilWrap = g.pendingUntilWrap - (count - stepAt);
            ++g.steps;
            return;
        }
        // Usually nothing reaches a ring's end and nothing read is written.
        if (g.separable && count < g.untilWrap)
        {
            RunSplit(g, count, left, right, count);
            g.untilWrap -= count;
            return;
        }
        LaneState* const* lanes = g.lanes;
        const int laneCount = g.laneCount;
        // The stretch is cut where a position reaches its ring's end, so that
        // every piece runs without wrapping.
        int done = 0;
        while (done < count)
        {
            int run = count - done;
            bool separable = true;
            for (int j = 0; j < laneCount; ++j)
            {
                const int room = SamplesBeforeWrap(*lanes[j]);
                run = room < run ? room : run;
            }
            for (int j = 0; j < laneCount; ++j)
            {
                separable = separable && Separable(*lanes[j], run);
            }
            if (!separable)
            {
                RunLaneByLane(g, run, left + done, right + done);
            }
            else
            {
                RunSplit(g, run, left + done, right + done, run);
                for (int j = 0; j < laneCount; ++j)
                    WrapAtRingEnd(*lanes[j]);
            }
            for (int j = 0; j < laneCount; ++j)
            {
                lanes[j]->port += run;
                lanes[j]->source += run;
                lanes[j]->out += run;
            }
            done += run;
        }
        g.untilWrap = 1 << 30;
        for (int j = 0; j < laneCount; ++j)
        {
            lanes[j]->port -= count;
            lanes[j]->source -= count;
            lanes[j]->out -= count;
            const int room = SamplesBeforeWrap(*lanes[j]);
            g.untilWrap = room < g.untilWrap ? room : g.untilWrap;
        }
    }

    static int FeedPortsWide(const double* in0, const double* in1, double gain, bool sums,
                             double* const* ports, double* left, double* right, int count)
    {
        return FeedPorts<V>(in0, in1, gain, sums, ports, left, right, 0, count);
    }
    static int MixMainsWide(const double* in0, const double* in1, const double* left,
                            const double* right, double dry, double wet, double gain, double* out0,
                            double* out1, int count)
    {
        return MixMains<V>(in0, in1, left, right, dry, wet, gain, out0, out1, 0, count);
    }

    static constexpr GroupKernel Table()
    {
        return {W, Gather, PrepareStep, TakeStep, Run, FeedPortsWide, MixMainsWide};
    }
};
