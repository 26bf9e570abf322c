#include "effects/fog.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "render/capabilities.h"
#include "render/render_state.h"

static void applyFogParameters(const FogSettings& fog) {
    glFogi(GL_FOG_MODE, GLint(fog.mode));
    glFogfv(GL_FOG_COLOR, fog.colour);
    glFogf(GL_FOG_DENSITY, fog.density);
    glFogf(GL_FOG_START, fog.start);
    glFogf(GL_FOG_END, fog.end);
}

void beginGlobalFog() {
    applyFogParameters(fogState.global);
    glFogi(GL_FOG_COORDINATE_SOURCE_EXT, GL_FRAGMENT_DEPTH_EXT);
    if (fogState.globalEnabled) setFog(true);
}

void endGlobalFog() {
    if (fogState.globalEnabled) setFog(false);
}

bool beginObjectFog(const SceneObject& object, const MeshLod& lod, bool useBuffers) {
    const GLFunctions& gl = glFunctions;
    if (gl.glFogCoordPointerEXT == nullptr || lod.fogCoordCount < lod.vertexCount) return false;
    if (useBuffers ? lod.fogCoordBuffer == 0 || !glCapabilities.vertexBuffersAvailable
                   : lod.fogCoords == nullptr) {
        return false;
    }
    const FogSettings& fog = object.renderSettings.fog;
    setFog(true);
    glFogfv(GL_FOG_COLOR, fog.colour);
    glFogf(GL_FOG_START, fog.start);
    glFogf(GL_FOG_END, fog.end);
    glFogi(GL_FOG_COORDINATE_SOURCE_EXT, GL_FOG_COORDINATE_EXT);
    if (useBuffers) {
        gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, lod.fogCoordBuffer);
        gl.glFogCoordPointerEXT(GL_FLOAT, 0, nullptr);
    } else {
        gl.glFogCoordPointerEXT(GL_FLOAT, 0, lod.fogCoords);
    }
    glEnableClientState(GL_FOG_COORDINATE_ARRAY_EXT);
    return true;
}

void endObjectFog() {
    setFog(false);
    glFogi(GL_FOG_COORDINATE_SOURCE_EXT, GL_FRAGMENT_DEPTH_EXT);
    glDisableClientState(GL_FOG_COORDINATE_ARRAY_EXT);
    if (fogState.globalEnabled) {
        applyFogParameters(fogState.global);
        setFog(true);
    }
}
