#include "platform/system/resource_images.h"

ResourceImageState resourceImageState;

const ResourceImage* findResourceImage(int32_t id) {
    for (const ResourceImage& image : resourceImageState.images)
        if (image.id == id) return &image;
    return nullptr;
}
