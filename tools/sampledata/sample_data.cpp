#include "sample_data.h"

#include "core/error_log.h"
#include "animations.h"
#include "core_files.h"
#include "platform/paths.h"
#include "cursors.h"
#include "effects_art.h"
#include "images.h"
#include "interface_pictures.h"
#include "span_images.h"
#include "building_graphics.h"
#include "films.h"
#include "parameters.h"
#include "land_textures.h"
#include "maps.h"
#include "missions.h"
#include "objects.h"
#include "fog_pictures.h"
#include "sounds.h"
#include "templates.h"
#include "unit_graphics.h"
#include "water.h"
#include "trench_pictures.h"

namespace sampledata {

namespace {
const char* const kFolders[] = {
    "Data", "Data/Misc", "Data/Interface", "Data/Units", "Data/Objects", "Data/Campaigns", "Data/Museum",
    "Maps", "Media", "Media/Music", "Save", "Editor",
};
}

bool WriteFolderTree(const std::string& outDir)
{
    for (const char* folder : kFolders) {
        if (!plat::MakeDirectories(outDir + "/" + folder)) {
            ReportError2("sampledata: cannot create folder ", outDir + "/" + folder);
            return false;
        }
    }
    return true;
}

bool WriteFileBytes(const std::string& outDir, const std::string& relativePath, const void* data, std::size_t size)
{
    const std::string path = outDir + "/" + plat::NormalizeSeparators(relativePath);
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && !plat::MakeDirectories(path.substr(0, slash))) {
        ReportError2("sampledata: cannot create folder for ", path);
        return false;
    }
    if (!plat::WriteFileAtomic(path, data, size)) {
        ReportError2("sampledata: cannot write ", path);
        return false;
    }
    return true;
}

bool WriteWorldFiles(const std::string& outDir)
{
    return WriteFolderTree(outDir)
        && WriteCoreFiles(outDir)
        && WriteImages(outDir)
        && WriteInterfaceArchive(outDir)
        && WriteFogPictures(outDir)
        && WriteSpanImages(outDir)
        && WriteBuildingGraphics(outDir)
        && WriteAnimations(outDir)
        && WriteEffectsArt(outDir)
        && WriteUnitGraphics(outDir)
        && WriteWaterFiles(outDir)
        && WriteTrenchFiles(outDir)
        && WriteParameterFiles(outDir) && WriteAnimationSlots(outDir)
        && WriteLandTextures(outDir) && WriteMapResources(outDir) && WriteObjects(outDir) && WriteMaps(outDir)
        && WriteMissions(outDir) && WriteTemplates(outDir);
}

bool WriteGameFolder(const std::string& outDir)
{
    return WriteWorldFiles(outDir)
        && WriteCursors(outDir)
        && WriteSoundFiles(outDir) && WriteMusicFiles(outDir)
        && WriteFilms(outDir);
}

} // namespace sampledata
