#include "catalogue/NoteHost.h"

namespace {
INoteHost* g_host = NULL;
IShapeImageEditor* g_editor = NULL;
}  // namespace

void SetNoteHost(INoteHost* host)
{
    g_host = host;
}

INoteHost* GetNoteHost()
{
    return g_host;
}

void SetShapeImageEditor(IShapeImageEditor* editor)
{
    g_editor = editor;
}

IShapeImageEditor* GetShapeImageEditor()
{
    return g_editor;
}
