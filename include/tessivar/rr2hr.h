/* RR-interval averager: one RR interval in milliseconds per beat in, a
 * heart rate in beats per minute out (0 while there is no opinion yet).
 *
 * The newest three intervals wait in a short queue; accepted intervals go
 * into a queue of twelve whose mean without the longest and shortest gives
 * the rate. Once a trusted average exists, an interval near twice it is
 * taken as a missed beat (halved), two short ones adding up to it as an
 * extra beat (summed), and a lone early beat or repeating patterns of two
 * or three intervals are accepted; a stable change of rhythm restarts the
 * average and an unexplained interval empties everything.
 *
 *   init_rr2hr();
 *   for each beat: if ((bpm = rr2hr(rrMs)) > 0) show(bpm);
 *
 * One averager per process; not thread-safe. The queue functions below are
 * its steps, exported for hosts that drive it themselves. */
#ifndef TESSIVAR_RR2HR_H
#define TESSIVAR_RR2HR_H

#include <stdint.h>
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* Empties both queues and forgets the average. Always 0. */
TESSIVAR_API int32_t init_rr2hr(void);

/* Feeds one RR interval (1 ... 60000 ms). Beats per minute, 0 while there is
 * no rate, -1 (nothing stored) for an interval of 0, below 0 or above a
 * minute. */
TESSIVAR_API int32_t rr2hr(int32_t rr);

/* Short queue (three newest intervals) and long queue (twelve accepted):
 * put drops the oldest entry of a full queue; take returns the oldest entry,
 * or 0 when empty. Puts return 0. */
TESSIVAR_API int32_t queue1FifoIn(int32_t rr);
TESSIVAR_API int32_t queue1FifoOut(void);
TESSIVAR_API int32_t queue2FifoIn(int32_t rr);
TESSIVAR_API int32_t queue2FifoOut(void);

/* Moves up to n (0 ... 3) intervals from the short to the long queue.
 * The number moved, or -1 for n outside 0 ... 3. */
TESSIVAR_API int32_t fillQueue2(int32_t n);

/* Mean of the long queue without its largest and smallest entry; 0 with
 * fewer than three entries. */
TESSIVAR_API double calAvgRR(void);

/* Mean of the short queue; 0 unless it is full. */
TESSIVAR_API double getAvgQueue1(void);

/* 1 when an entry of the short queue is at or beyond 20 % from its mean
 * (or the mean is 0), else 0. */
TESSIVAR_API int32_t isQueue1Unstable(void);

/* One step without a trusted average: looks for a regular rhythm or a
 * pattern of period two or three in the twelve accepted intervals and
 * stores it as the average (0 when there is none). */
TESSIVAR_API float onStatuUnstable(void);

/* One step with a trusted average: accepts, corrects or rejects the
 * oldest waiting intervals; the long queue's trimmed mean, or 0 after a
 * reset. */
TESSIVAR_API float onStatuStable(void);

TESSIVAR_END_C

#endif /* TESSIVAR_RR2HR_H */
