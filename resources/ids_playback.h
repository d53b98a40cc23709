#pragma once
// Resource ids of playing a recording and of the dialogs around its save:
// the post-recording preview, the task progress dialog of the file writer
// and the post-save options.

// The task progress dialog.
#define IDD_TASK_PROGRESS            1605
#define IDC_TASK_PROGRESS_BAR        1335
#define IDC_TASK_PROGRESS_LINE       1607
#define IDC_TASK_PROGRESS_STATUS     1608
#define IDS_CONFIRM_CANCEL_TASK      2014  // "你确实想取消吗？"

// The post-save options dialog.
#define IDD_POST_SAVE_OPTIONS        7513
#define IDC_POST_SAVE_EDIT           7515
#define IDC_POST_SAVE_PRODUCE        7516
#define IDC_POST_SAVE_RECORD         7517

// The post-recording preview dialog.
#define IDD_PREVIEW                  1697
#define IDC_PREVIEW_VIDEO_AREA       1002
#define IDC_PREVIEW_PLAY             1721
#define IDC_PREVIEW_STOP             1725
#define IDC_PREVIEW_SAVE             1726
#define IDC_PREVIEW_DELETE           1728
#define IDC_PREVIEW_POSITION         1734
#define IDC_PREVIEW_SLIDER           1736
#define IDC_PREVIEW_PAUSE            1739
#define IDS_PREVIEW_SAVE             452   // "保存"
#define IDS_PREVIEW_DELETE           453   // "删除"
#define IDS_PREVIEW_PLAY             454   // "播放"
#define IDS_PREVIEW_PAUSE            455   // "暂停"
#define IDS_PREVIEW_STOP             456   // "停止"
#define IDS_PREVIEW_TITLE            457   // "Skorvale 录像器预览"
#define IDS_PREVIEW_CONFIRM_DELETE   458   // "你确实想放弃当前的视频捕获吗？"
// The preview's button pictures (magenta is transparent), the position
// label's panel and the slider's groove and thumbs.
#define IDB_PREVIEW_PLAY             222
#define IDB_PREVIEW_STOP             470
#define IDB_PREVIEW_PAUSE            475
#define IDB_PREVIEW_SAVE             1712
#define IDB_PREVIEW_DELETE           1714
#define IDB_PREVIEW_LABEL            567
#define IDB_PREVIEW_SLIDER_CHANNEL   1741
#define IDB_PREVIEW_SLIDER_THUMB     1742
#define IDB_PREVIEW_SLIDER_THUMB_HOT 1743

// Recording a narration over the timeline.
#define IDS_NARRATION_CANNOT_SAVE    10900 // "不能保存文件: %s。..."
#define IDS_NARRATION_SAVE_FILTER    10928 // "波形声音文件 (*.wav)|*.wav||"
#define IDS_NARRATION_SAVE_TITLE     10929 // "旁白另存为"
#define IDS_NARRATION_NAME_IN_USE    10930 // "该文件当前正在时间线上使用。请选择其它文件名。"
#define IDS_NARRATION_NAME_LOCKED    10931 // "这个文件因为要支持撤销操作仍在被应用程序使用。请选择其它文件名。"
#define IDS_NARRATION_CONFIRM_DISCARD 10932 // "你确实想删除当前视频旁白吗？"

// Clip edits.
#define IDS_SPLIT_AT_CLIP_EDGE       10904 // "分割剪辑最后帧不是一个有效的动作。"

// The lines of a media file's properties text (label, tab, value).
#define IDS_FILEPROP_AUDIO           10940 // "音频格式:\t%u 声道, %lu Hz, %u 位"
#define IDS_FILEPROP_NO_AUDIO        10941 // "音频格式:\t无"
#define IDS_FILEPROP_VIDEO           10942 // "视频类型:\t%s"
#define IDS_FILEPROP_FRAME           10943 // "帧大小:\t%d x %d, %.2f 帧/秒"
#define IDS_FILEPROP_DURATION        10944 // "持续时间:\t%s"
#define IDS_FILEPROP_FILE_SIZE       10945 // "文件大小:\t%s 字节"
#define IDS_FILEPROP_MODIFIED        10946 // "修改时间:\t%s"
