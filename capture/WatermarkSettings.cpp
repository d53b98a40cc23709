#include "capture/WatermarkSettings.h"

WatermarkSettings::WatermarkSettings()
    : m_bInclude(FALSE),
      m_bOverlay(FALSE),
      m_nImageScale(20),
      m_nHorizontalOffset(5),
      m_nVerticalOffset(5),
      m_nOpacity(100),
      m_bUseTransparentColor(TRUE),
      m_crTransparentColor(RGB(255, 255, 255)),
      m_nPosition(8),
      m_bEmboss(TRUE),
      m_nEmbossDirection(0),
      m_nEmbossDepth(20),
      m_bKeepAspectRatio(TRUE),
      m_bSmoothScale(TRUE),
      m_bPreserveSize(FALSE),
      m_nWorking(0)
{
}

void WatermarkSettings::Assign(const WatermarkSettings& other)
{
    if (this == &other)
        return;
    m_bInclude = other.m_bInclude;
    m_bOverlay = other.m_bOverlay;
    m_strImagePath = other.m_strImagePath;
    m_nImageScale = other.m_nImageScale;
    m_nHorizontalOffset = other.m_nHorizontalOffset;
    m_nVerticalOffset = other.m_nVerticalOffset;
    m_nOpacity = other.m_nOpacity;
    m_bUseTransparentColor = other.m_bUseTransparentColor;
    m_crTransparentColor = other.m_crTransparentColor;
    m_nPosition = other.m_nPosition;
    m_bEmboss = other.m_bEmboss;
    m_nEmbossDirection = other.m_nEmbossDirection;
    m_nEmbossDepth = other.m_nEmbossDepth;
    m_bKeepAspectRatio = other.m_bKeepAspectRatio;
    m_bSmoothScale = other.m_bSmoothScale;
    m_bPreserveSize = other.m_bPreserveSize;
    m_nWorking = other.m_nWorking;
}
