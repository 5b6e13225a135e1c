/* A C99 host on the installed library (the install test puts the includes
 * of every installed header in front): the version text, one front-end life
 * and the beat-event registration around it. Exit code = failed check. */
#include <string.h>
#include <tessivar/tessivar.h>

static void quiet(const char *line) { (void)line; }
static void onEvent(const EcgBeatEvent *event, void *user) { (void)event; (void)user; }

int main(void)
{
    PreprocessConf conf = {1000, 1000, 0, 1, 10, "12", "SLR", "II", "II", NULL, quiet,
                           NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0};
    int in[3 * 10] = {0}, out[3 * 14];
    if (strcmp(ecgPreprocessVersion(), "tessivar version 1.1.0.0 2025-10-11 15:34:28") != 0) return 2;
    if (ecgPreprocessSetBeatEventCallback(onEvent, NULL) != ECG_BEAT_EVENT_NOT_STARTED) return 3;
    if (ecgPreprocessInit(&conf) != 0) return 4;
    /* 8 channels + status + respiration in; + III, aVR, aVL, aVF out. */
    if (getCurInFrame() != 10 || getCurOutFrame() != 14) return 5;
    if (ecgPreprocessSetBeatEventCallback(NULL, NULL) != ECG_BEAT_EVENT_NULL_FUNC) return 6;
    if (ecgPreprocessSetBeatEventCallback(onEvent, NULL) != ECG_BEAT_EVENT_OK) return 7;
    if (ecgPreprocessSetBeatEventCallback(onEvent, NULL) != ECG_BEAT_EVENT_REGISTERED) return 8;
    if (ecgPreprocessDoPreprocess(3, in, out) != 3) return 9;
    ecgPreprocessDenit();
    return ecgPreprocessSetBeatEventCallback(onEvent, NULL) == ECG_BEAT_EVENT_NOT_STARTED ? 0 : 10;
}
