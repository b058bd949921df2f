#include "Stage.h"

#include <QrHttp.h>

namespace ovapp {

namespace {

COvFrameStyle Frame(const FrameSpec& spec) {
    return COvFrameStyle{spec.scaled ? 1 : 0, spec.width, spec.color};
}

std::string Failed(const ObjectSpec& spec, const char* what, int code) {
    return "cannot create " + std::string(what) + " \"" + spec.id + "\" (" + spec.where +
           "): the library answered " + std::to_string(code);
}

bool IsImage(const COvObject* object) {
    return object != nullptr && (object->GetType() == 1 || object->GetType() == 2);
}

}  // namespace

// ---------------------------------------------------------------------------
// Building
// ---------------------------------------------------------------------------

Stage::~Stage() {
    // The screen lets go of the cameras' virtual objects, the scene of its objects,
    // before any of them goes away; the control ends the loading threads last.
    if (m_pScreen)
        m_pScreen->Exit();
    if (m_pScene)
        m_pScene->Exit();
    m_pScreen.reset();
    m_Objects.clear();
    m_pCamera.reset();
    m_pScene.reset();
    m_Control.Exit();
}

std::string Stage::Build(const SceneSpec& scene, const CameraSpec& camera, HWND window,
                         const std::string& logPath) {
    const int init =
        m_Control.Init(scene.budgetMB << 20, logPath.empty() ? nullptr : logPath.c_str());
    if (init == OV_CONTROL_LOG_FILE_FAILED)
        return "cannot open the log file " + logPath;
    if (init != 0)
        return "the library could not start (" + std::to_string(init) + ")";

    // Pictures may be named by URL; failed loads go to the library's log.
    CQrHttpSettings http;
    http.m_Report = QrReportTo(&m_Control);
    m_Control.AddStreamCreator(new CQrHttpStreamCreator(http));

    m_pScene = std::make_unique<COvScene>();
    m_pScene->Init(&m_Control);
    m_pCamera = std::make_unique<COvCamera>();
    const int code =
        m_pCamera->Init(&m_Control, camera.position, camera.forward, camera.up, 1, camera.range);
    if (code != 0)
        return "cannot set up camera \"" + camera.id + "\" (" + std::to_string(code) + ")";
    if (camera.focus > 0)
        m_pCamera->SetTransProperty("FOCUS", camera.focus);

    for (const ObjectSpec& spec : scene.objects) {
        const std::string message = AddObject(spec);
        if (!message.empty())
            return message;
    }

    m_pScreen = std::make_unique<COvScreen>();
    const int screen =
        m_pScreen->Init(&m_Control, window, scene.background,
                        scene.backgroundPicture.empty() ? nullptr : scene.backgroundPicture.c_str(),
                        static_cast<int>(scene.placement), 0);
    if (screen != 0)
        return "cannot set up the screen (" + std::to_string(screen) + ")";
    m_pScreen->SetReadLevel(scene.loadingThreads);
    m_pScene->AddCamera(m_pCamera.get());
    m_pScreen->AddCamera(m_pCamera.get());
    return "";
}

std::string Stage::AddObject(const ObjectSpec& spec) {
    // The object's description travels with it, so that hits and events can name it.
    void* user = const_cast<ObjectSpec*>(&spec);
    const int selected = spec.selected ? 1 : 0;
    const int visible = spec.visible ? 1 : 0;
    switch (spec.kind) {
        case ObjectSpec::PICTURE: {
            auto picture = std::make_unique<COvImageObject>();
            const VersionSpec& first = spec.versions.front();
            int code = picture->Init(&m_Control, first.name.c_str(), spec.position, spec.size,
                                     COvSize{first.width, first.height}, selected, visible, user,
                                     nullptr, Frame(spec.frame), 0, 0);
            for (std::size_t i = 1; code == 0 && i < spec.versions.size(); ++i) {
                const VersionSpec& v = spec.versions[i];
                code = picture->AddImage(v.name.c_str(), COvSize{v.width, v.height}, 0, 0);
            }
            if (code != 0)
                return Failed(spec, "picture", code);
            m_Objects.push_back(std::move(picture));
            break;
        }
        case ObjectSpec::TEXT: {
            auto text = std::make_unique<COvTextObject>();
            const TextStyleSpec& s = spec.textStyle;
            COvTextStyle style;
            style.m_strFontName = s.font.c_str();
            style.m_nSize = s.points;
            style.m_bFixedSize = s.fixedSize ? 1 : 0;
            style.m_TextColor = s.color;
            style.m_BackColor = s.background;
            style.m_nStyle = (s.bold ? 1 : 0) | (s.italic ? 2 : 0) | (s.underline ? 4 : 0) |
                             (s.strikeout ? 8 : 0);
            const int code =
                text->Init(&m_Control, spec.text.c_str(), style, spec.position, spec.size,
                           spec.pixels, selected, visible, user, Frame(spec.frame));
            if (code != 0)
                return Failed(spec, "text", code);
            m_Objects.push_back(std::move(text));
            break;
        }
        case ObjectSpec::LINE: {
            auto line = std::make_unique<COvLineObject>();
            const LineStyleSpec& s = spec.lineStyle;
            const COvLineStyle style{s.width, s.color, s.startArrow ? 1 : 0, s.endArrow ? 1 : 0,
                                     s.scaled ? 1 : 0};
            const int code =
                line->Init(&m_Control, spec.start, spec.end, style, selected, visible, user);
            if (code != 0)
                return Failed(spec, "line", code);
            m_Objects.push_back(std::move(line));
            break;
        }
    }
    m_pScene->AddObject(m_Objects.back().get());
    return "";
}

const ObjectSpec* Stage::SpecOf(const COvObject* object) {
    return object ? static_cast<const ObjectSpec*>(object->GetUserData()) : nullptr;
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

Loading Stage::CheckLoading() {
    Loading loading;
    const int count = m_pScreen->GetDisplayedObjectCount();
    for (int i = 0; i < count; ++i) {
        COvObject* object = nullptr;
        CPx2DPoint pos{};
        COvSize size{};
        if (m_pScreen->GetDisplayedObject(i, object, &pos, &size) != 0 || !IsImage(object) ||
            !object->IsVisible())
            continue;
        ++loading.inView;
        COvImageInfo* chosen = static_cast<COvImageObject*>(object)->GetNowImageData().m_pImageInfo;
        if (chosen == nullptr)
            continue;  // not drawn yet
        // The version the screen chose is already requested: asking again queues nothing new.
        COvMemData* data = nullptr;
        const int code = m_Control.GetData(&data, &chosen->m_Info, nullptr);
        if (code == 0) {
            ++loading.loaded;
            loading.bytes += data->m_nSize;
        } else if (code == OV_DATA_FAILED) {
            ++loading.failed;
            loading.failedNames.emplace_back(chosen->m_Info.m_strName);
        }
        if (data != nullptr)
            m_Control.UnLockData(data);
    }
    return loading;
}

CacheFigures Stage::CheckCache() {
    CacheFigures figures;
    CPtrList one(10);
    for (const auto& object : m_Objects) {
        if (!IsImage(object.get()))
            continue;
        const COvImageInfoList* versions =
            static_cast<COvImageObject*>(object.get())->GetImageList();
        for (void* pos = versions->Begin(); pos != nullptr;) {
            COvImageInfo* version = versions->GetNext(pos);
            one.RemoveAll();
            one.AddTail(&version->m_Info);
            COvMemData* data = nullptr;
            m_Control.CheckData(&data, &one);
            if (data != nullptr) {
                ++figures.versions;
                figures.bytes += data->m_nSize;
                m_Control.UnLockData(data);
            }
        }
    }
    return figures;
}

}  // namespace ovapp
