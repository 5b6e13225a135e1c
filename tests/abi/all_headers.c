/* Body of the C99 host: the includes of every installed header are put in
 * front of it by the install test. Calls one function of each module so the
 * program links and runs against the installed shared library. */
#include <stdio.h>
#include <string.h>
#include <tessivar/tessivar.h>

int main(void)
{
    const char *versions[] = {logVersion(), iniVersion(), getKtMathLibVersion(), signalFilterVersion(),
                                linearSplineVersion(), paceRemoveVersion(), ecgPreprocessVersion(),
                                singalQualityVersion(), respVersion(), beatDetectVersion()};
    size_t i;
    for (i = 0; i < sizeof versions / sizeof versions[0]; ++i) {
        if (versions[i] == NULL || strstr(versions[i], " version ") == NULL) {
            return 1;
        }
        printf("%s\n", versions[i]);
    }
    /* Beat events are refused before Init. */
    if (ecgPreprocessSetBeatEventCallback(NULL, NULL) != ECG_BEAT_EVENT_NOT_STARTED) {
        return 1;
    }
    return 0;
}
