// The GL entry points beyond OpenGL 1.1 that the program calls, in one table filled from the
// driver when a context is made (captureGLStrings does it). Nothing else asks the driver for
// entry points: code calls through glFunctions, and tests fill a table of their own from a
// made-up driver. The table also says which groups arrived whole.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// The window system's own calls, asked for by name like the GL ones.
using GlxQueryExtensionsStringProc = const char* (*)(void* display, int screen);
using GlxQueryRendererIntegerProc = int (*)(int attribute, unsigned* value);
using EglGetCurrentDisplayProc = void* (*)();
using EglQueryStringProc = const char* (*)(void* display, int name);
using PresentProc = void (*)(); // only asked whether the driver has it

#define ZORX_GL_MULTITEXTURE(F)                                                                    \
    F(PFNGLMULTITEXCOORD1FARBPROC, glMultiTexCoord1fARB)                                           \
    F(PFNGLMULTITEXCOORD2FARBPROC, glMultiTexCoord2fARB)                                           \
    F(PFNGLMULTITEXCOORD3FARBPROC, glMultiTexCoord3fARB)                                           \
    F(PFNGLMULTITEXCOORD4FARBPROC, glMultiTexCoord4fARB)                                           \
    F(PFNGLACTIVETEXTUREARBPROC, glActiveTextureARB)                                               \
    F(PFNGLCLIENTACTIVETEXTUREARBPROC, glClientActiveTextureARB)                                   \
    F(PFNGLFOGCOORDPOINTEREXTPROC, glFogCoordPointerEXT)
#define ZORX_GL_VERTEX_BUFFERS(F)                                                                  \
    F(PFNGLBINDBUFFERARBPROC, glBindBufferARB)                                                     \
    F(PFNGLDELETEBUFFERSARBPROC, glDeleteBuffersARB)                                               \
    F(PFNGLGENBUFFERSARBPROC, glGenBuffersARB)                                                     \
    F(PFNGLBUFFERDATAARBPROC, glBufferDataARB)                                                     \
    F(PFNGLBUFFERSUBDATAARBPROC, glBufferSubDataARB)                                               \
    F(PFNGLGETBUFFERSUBDATAARBPROC, glGetBufferSubDataARB)                                         \
    F(PFNGLGETBUFFERPARAMETERIVARBPROC, glGetBufferParameterivARB)
#define ZORX_GL_FRAMEBUFFERS(F)                                                                    \
    F(PFNGLGENFRAMEBUFFERSPROC, glGenFramebuffers)                                                 \
    F(PFNGLBINDFRAMEBUFFERPROC, glBindFramebuffer)                                                 \
    F(PFNGLFRAMEBUFFERTEXTURE2DPROC, glFramebufferTexture2D)                                       \
    F(PFNGLFRAMEBUFFERRENDERBUFFERPROC, glFramebufferRenderbuffer)                                 \
    F(PFNGLCHECKFRAMEBUFFERSTATUSPROC, glCheckFramebufferStatus)                                   \
    F(PFNGLDELETEFRAMEBUFFERSPROC, glDeleteFramebuffers)                                           \
    F(PFNGLISFRAMEBUFFERPROC, glIsFramebuffer)                                                     \
    F(PFNGLGENRENDERBUFFERSPROC, glGenRenderbuffers)                                               \
    F(PFNGLBINDRENDERBUFFERPROC, glBindRenderbuffer)                                               \
    F(PFNGLRENDERBUFFERSTORAGEPROC, glRenderbufferStorage)                                         \
    F(PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC, glRenderbufferStorageMultisample)                   \
    F(PFNGLDELETERENDERBUFFERSPROC, glDeleteRenderbuffers)                                         \
    F(PFNGLISRENDERBUFFERPROC, glIsRenderbuffer)                                                   \
    F(PFNGLGENERATEMIPMAPPROC, glGenerateMipmap)                                                   \
    F(PFNGLBLITFRAMEBUFFERPROC, glBlitFramebuffer)
#define ZORX_GL_SHADERS(F)                                                                         \
    F(PFNGLCREATESHADERPROC, glCreateShader)                                                       \
    F(PFNGLSHADERSOURCEPROC, glShaderSource)                                                       \
    F(PFNGLCOMPILESHADERPROC, glCompileShader)                                                     \
    F(PFNGLGETSHADERIVPROC, glGetShaderiv)                                                         \
    F(PFNGLDELETESHADERPROC, glDeleteShader)                                                       \
    F(PFNGLCREATEPROGRAMPROC, glCreateProgram)                                                     \
    F(PFNGLATTACHSHADERPROC, glAttachShader)                                                       \
    F(PFNGLLINKPROGRAMPROC, glLinkProgram)                                                         \
    F(PFNGLGETPROGRAMIVPROC, glGetProgramiv)                                                       \
    F(PFNGLDELETEPROGRAMPROC, glDeleteProgram)                                                     \
    F(PFNGLUSEPROGRAMPROC, glUseProgram)                                                           \
    F(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)                                           \
    F(PFNGLUNIFORM1IPROC, glUniform1i)                                                             \
    F(PFNGLACTIVETEXTUREPROC, glActiveTexture)
#define ZORX_GL_PIXEL_BUFFERS(F)                                                                   \
    F(PFNGLGENBUFFERSPROC, glGenBuffers)                                                           \
    F(PFNGLDELETEBUFFERSPROC, glDeleteBuffers)                                                     \
    F(PFNGLBINDBUFFERPROC, glBindBuffer)                                                           \
    F(PFNGLBUFFERDATAPROC, glBufferData)                                                           \
    F(PFNGLMAPBUFFERPROC, glMapBuffer)                                                             \
    F(PFNGLUNMAPBUFFERPROC, glUnmapBuffer)
#define ZORX_GL_QUERIES(F)                                                                         \
    F(PFNGLGENQUERIESPROC, glGenQueries)                                                           \
    F(PFNGLBEGINQUERYPROC, glBeginQuery)                                                           \
    F(PFNGLENDQUERYPROC, glEndQuery)                                                               \
    F(PFNGLGETQUERYOBJECTUIVPROC, glGetQueryObjectuiv)
#define ZORX_GL_WINDOW_SYSTEM(F)                                                                   \
    F(GlxQueryExtensionsStringProc, glXQueryExtensionsString)                                      \
    F(GlxQueryRendererIntegerProc, glXQueryCurrentRendererIntegerMESA)                             \
    F(PresentProc, glXChooseFBConfig)                                                              \
    F(PresentProc, glXCreateContextAttribsARB)                                                     \
    F(EglGetCurrentDisplayProc, eglGetCurrentDisplay)                                              \
    F(EglQueryStringProc, eglQueryString)                                                          \
    F(PresentProc, eglChooseConfig)                                                                \
    F(PresentProc, eglCreateContext)

#define ZORX_GL_MEMBER(type, name) type name = nullptr;
struct GLFunctions {
    ZORX_GL_MULTITEXTURE(ZORX_GL_MEMBER)
    ZORX_GL_VERTEX_BUFFERS(ZORX_GL_MEMBER)
    ZORX_GL_FRAMEBUFFERS(ZORX_GL_MEMBER)
    ZORX_GL_SHADERS(ZORX_GL_MEMBER)
    ZORX_GL_PIXEL_BUFFERS(ZORX_GL_MEMBER)
    ZORX_GL_QUERIES(ZORX_GL_MEMBER)
    ZORX_GL_WINDOW_SYSTEM(ZORX_GL_MEMBER)
    // Every function of the group was found.
    bool vertexBuffers = false;
    bool framebuffers = false;
    bool shaders = false;
    bool pixelBuffers = false;
    bool queries = false;
};
#undef ZORX_GL_MEMBER
extern GLFunctions glFunctions;

// Fills the table by asking lookUp for each name (null: the driver has none of that name).
void loadGLFunctions(GLFunctions& table, void* (*lookUp)(const char* name));
// Fills glFunctions from the driver of the current context.
void loadGLFunctions();
