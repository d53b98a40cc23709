#include "media/WaveInPrefs.h"

#include "settings/RecorderPrefs.h"

BOOL WaveInRecordsCamera(const CRecorderPrefs* settings)
{
    return settings != NULL && settings->m_recordCamera;
}
