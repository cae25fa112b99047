/* zemba core: eeg kernels (include zemba/core.h rather than this file).
 *
 * Reader of the single-trial files of the public alcoholism EEG data set,
 * plain text or gzip. A trial file is:
 *
 *   line 1   "# <subject>.rd"            group letter at byte 5: 'a' or 'c'
 *   line 2   "# 120 trials, 64 chans, ..."
 *   line 3   "# 3.906000 msecs uV"
 *   line 4   "# S1 obj , trial 0"        condition and trial number
 *   line 5   "# FP1 chan 0"              first channel block header
 *            "<trial> <name> <sample> <value>"   256 lines, sample 0..255
 *   ...      further blocks, each opened by a line starting with '#'
 *
 * Real trials hold 64 blocks of 256 samples; a file may hold fewer blocks
 * (1 to 64), and `channels` says how many were read.
 *
 * A read succeeds only when every block the file opens delivers each sample
 * index 0..255 exactly once with a finite value. Lines are read whole,
 * whatever their length; lines of white space only are ignored; CR LF line
 * ends are accepted. A sample line is: an integer, a name, the sample index
 * (integer 0..255) and the value (decimal, finite), separated by white space,
 * with nothing after the value but white space.
 */
#ifndef ZEMBA_CORE_EEG_H
#define ZEMBA_CORE_EEG_H

#include "zemba/core.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZEMBA_TRIAL_CHANNEL_CAP 64   /* channel blocks a trial may hold */
#define ZEMBA_TRIAL_LENGTH 256       /* samples per channel */
#define ZEMBA_TRIAL_NAME_CAP 16      /* bytes of a channel name, with its NUL */
#define ZEMBA_TRIAL_SUBJECT_CAP 64   /* bytes of the subject, with its NUL */
#define ZEMBA_TRIAL_BYTES 132184     /* sizeof(zemba_trial) on every platform */

/* One trial, filled by zemba_read_trial / zemba_parse_trial. Plain C layout
 * without pointers (byte offsets: samples 0, names 131072, subject 132096,
 * channels 132160, condition 132164, trial 132168, error 132172,
 * group 132176); the caller owns it (132,184 bytes: allocate it, do not
 * keep it on a small stack). */
typedef struct zemba_trial {
    /* samples[c][s]: sample s of channel block c, microvolts, as written in
     * the file. Rows c >= channels are NaN. */
    double samples[ZEMBA_TRIAL_CHANNEL_CAP][ZEMBA_TRIAL_LENGTH];
    /* Channel names: the first word after the '#' of each block header, cut
     * to 15 bytes, NUL-terminated; "" for rows c >= channels. */
    char names[ZEMBA_TRIAL_CHANNEL_CAP][ZEMBA_TRIAL_NAME_CAP];
    /* Subject: line 1 after the '#', up to the first '.' or white space
     * ("co2a0000364"), cut to 63 bytes, NUL-terminated. */
    char subject[ZEMBA_TRIAL_SUBJECT_CAP];
    int32_t channels;   /* channel blocks read, 1..64 */
    /* Condition code from line 4 of this file: 1 "S1 ...", 2 "S2 match",
     * 3 "S2 nomatch" (the first letter after "S<digit>" and spaces, m or n in
     * either case), 4 any other "S" condition, 0 when line 4 names none. */
    int32_t condition;
    int32_t trial;      /* the number after "trial" on line 4; -1 when absent */
    int32_t error;      /* 1 when line 4 before its first comma contains "err"
                           (any case): an error trial; else 0 */
    char group;         /* 'a' alcoholic or 'c' control (byte 5 of line 1) */
    char reserved[7];   /* set to 0 */
} zemba_trial;

/* Reads the trial file at path into *out. The file may be plain text or gzip
 * (recognised by its first two bytes 1f 8b, whatever its name; concatenated
 * gzip members are read in turn).
 *
 * A path naming anything but a regular file (directory, FIFO, socket,
 * device) is rejected before any byte is read, so a FIFO never blocks.
 *
 * error_line (may be NULL) receives 0 on success and on most failures; for
 * ZEMBA_E_FORMAT caused by a sample line it receives that line's number
 * (from 1), and for ZEMBA_E_INCOMPLETE caused by a short channel block the
 * line number of that block's header.
 *
 * Returns ZEMBA_OK; ZEMBA_E_NULL (path or out NULL); ZEMBA_E_OPEN (the file
 * cannot be opened or read); ZEMBA_E_NOT_REGULAR; ZEMBA_E_FORMAT (line 1
 * does not start with '#' or has no group letter 'a'/'c' at byte 5, line 2
 * or 3 does not start with '#', line 5 is not a block header, more than 64
 * blocks, a damaged gzip stream; error_line > 0: a sample line that does not
 * parse, whose index is outside 0..255 or already given in its block, or
 * whose value is not finite); ZEMBA_E_INCOMPLETE (the file ends within the
 * header lines or before line 5, a block lacks some of its 256 samples, a
 * gzip stream ends early); ZEMBA_E_UNSUPPORTED (gzip in a build without
 * zlib); ZEMBA_E_NO_MEMORY. Line 4 need not start with '#'.
 * *out is written only on ZEMBA_OK. */
ZEMBA_CORE_API int zemba_read_trial(const char* path, zemba_trial* out, size_t* error_line);

/* As zemba_read_trial, from the length bytes at bytes (the file's content,
 * plain text or gzip; it need not end in a NUL). bytes may be NULL when
 * length is 0 (that reads as an empty file: ZEMBA_E_INCOMPLETE). */
ZEMBA_CORE_API int zemba_parse_trial(const char* bytes, size_t length, zemba_trial* out, size_t* error_line);

#ifdef __cplusplus
}
#endif

#endif
