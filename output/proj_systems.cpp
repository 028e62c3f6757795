#include "output/proj_systems.h"

#include <proj.h>

#include <cmath>
#include <string_view>
#include <utility>

#include "engine/number_format.h"
#include "settings/blanks.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

struct ContextFree {
    void operator()(PJ_CONTEXT* ctx) const { proj_context_destroy(ctx); }
};
struct ObjectFree {
    void operator()(PJ* obj) const { proj_destroy(obj); }
};
struct ListFree {
    void operator()(PJ_OBJ_LIST* list) const { proj_list_destroy(list); }
};
struct FactoryFree {
    void operator()(PJ_OPERATION_FACTORY_CONTEXT* factory) const {
        proj_operation_factory_context_destroy(factory);
    }
};
using Context = std::unique_ptr<PJ_CONTEXT, ContextFree>;
using Object = std::unique_ptr<PJ, ObjectFree>;

// A context of its own: no network, so only installed grids are used, and
// nothing logged to the standard error; what fails is told by the errors.
Context NewContext() {
    Context ctx(proj_context_create());
    if (!ctx) throw KorvelError("PROJ cannot be started");
    proj_context_set_enable_network(ctx.get(), 0);
    proj_log_level(ctx.get(), PJ_LOG_NONE);
    return ctx;
}

std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

// A system from what the user wrote. A PROJ string describes a system only
// with +type=crs, which cs2cs adds as well; without it PROJ would read a
// bare conversion. `role` is "source" or "target", or empty.
Object OpenSystem(PJ_CONTEXT* ctx, std::string_view given, std::string_view role) {
    const std::string which = role.empty() ? std::string() : std::string(role) + " ";
    if (given.empty()) throw KorvelError("No " + which + "coordinate system given");
    std::string definition(given);
    if (definition.front() == '+' && definition.find("type=crs") == std::string::npos)
        definition += " +type=crs";
    Object crs(proj_create(ctx, definition.c_str()));
    if (!crs) throw KorvelError("Unknown " + which + "coordinate system: " + std::string(given));
    if (!proj_is_crs(crs.get())) {
        const std::string as =
            role.empty() ? std::string() : ", given as the " + which + "coordinate system,";
        throw KorvelError(std::string(given) + as + " is not a coordinate system");
    }
    return crs;
}

// How a system is named: `brief` in the errors about points ("EPSG:25832",
// else what was written when it is one short line, else PROJ's name), and
// `label` in the report, with PROJ's name added ("EPSG:25832 (ETRS89 / UTM
// zone 32N)").
struct SystemNames {
    std::string brief, label;
};

SystemNames NamesOf(const PJ* crs, std::string_view given) {
    const std::string authority = Text(proj_get_id_auth_name(crs, 0));
    const std::string code = Text(proj_get_id_code(crs, 0));
    std::string name = Text(proj_get_name(crs));
    if (name == "unknown") name.clear();

    SystemNames names;
    if (!authority.empty() && !code.empty())
        names.brief = authority + ":" + code;
    else if ((given.size() <= 80 && given.find_first_of("\r\n") == std::string_view::npos) ||
             name.empty())
        names.brief = given;
    else
        names.brief = name;
    names.label = names.brief;
    if (!name.empty() && name != names.brief) names.label += " (" + name + ")";
    return names;
}

// A system with a height axis: a compound system (horizontal and vertical)
// or one of three axes, e.g. geographic 3D or geocentric.
bool HasHeight(PJ_CONTEXT* ctx, const PJ* crs) {
    const PJ_TYPE type = proj_get_type(crs);
    if (type == PJ_TYPE_COMPOUND_CRS) return true;
    if (type == PJ_TYPE_BOUND_CRS) {
        const Object base(proj_get_source_crs(ctx, crs));
        return base && HasHeight(ctx, base.get());
    }
    const Object cs(proj_crs_get_coordinate_system(ctx, crs));
    return cs && proj_cs_get_axis_count(ctx, cs.get()) >= 3;
}

// The grid files `operation` needs that are not installed, each with where
// it can be had when PROJ knows that.
std::vector<std::string> MissingGrids(PJ_CONTEXT* ctx, const PJ* operation) {
    std::vector<std::string> missing;
    const int count = proj_coordoperation_get_grid_used_count(ctx, operation);
    for (int i = 0; i < count; ++i) {
        const char *shortName = nullptr, *fullName = nullptr, *package = nullptr, *url = nullptr;
        int direct = 0, openLicense = 0, available = 0;
        if (!proj_coordoperation_get_grid_used(ctx, operation, i, &shortName, &fullName, &package,
                                               &url, &direct, &openLicense, &available))
            continue;
        if (available) continue;
        std::string entry = Text(shortName);
        if (url && *url) entry += " (" + std::string(url) + ")";
        missing.push_back(std::move(entry));
    }
    return missing;
}

std::string MissingGridsText(const std::string& operationName,
                             const std::vector<std::string>& missing) {
    std::string text = "The transformation '" + operationName + "' needs the grid file";
    if (missing.size() > 1) text += "s";
    for (std::size_t i = 0; i < missing.size(); ++i) text += (i ? ", " : " ") + missing[i];
    text += missing.size() > 1 ? ", which are not installed" : ", which is not installed";
    return text;
}

class ProjTransform final : public CoordinateTransform {
  public:
    ProjTransform(const std::string& pipeline, std::string target, bool sourceHasZ, bool moveZ)
        : ctx_(NewContext()), target_(std::move(target)), sourceHasZ_(sourceHasZ), moveZ_(moveZ) {
        pj_.reset(proj_create(ctx_.get(), pipeline.c_str()));
        if (!pj_)
            throw KorvelError(
                "Cannot set up the transformation into " + target_ + ": " +
                Text(proj_context_errno_string(ctx_.get(), proj_context_errno(ctx_.get()))));
    }

    void Transform(double& x, double& y, double& z) override {
        // The height of a two-dimensional source means nothing to the
        // operation: X and Y do not depend on it.
        const PJ_COORD in = proj_coord(x, y, sourceHasZ_ ? z : 0.0, HUGE_VAL);
        proj_errno_reset(pj_.get());
        const PJ_COORD out = proj_trans(pj_.get(), PJ_FWD, in);
        if (!std::isfinite(out.xyz.x) || !std::isfinite(out.xyz.y) ||
            (moveZ_ && !std::isfinite(out.xyz.z))) {
            const int err = proj_errno(pj_.get());
            std::string text = "Cannot move the point (" + NumberText(x) + ", " + NumberText(y) +
                               ") into " + target_;
            if (err != 0) text += ": " + Text(proj_context_errno_string(ctx_.get(), err));
            throw KorvelError(text);
        }
        x = out.xyz.x;
        y = out.xyz.y;
        if (moveZ_) z = out.xyz.z;
    }

  private:
    Context ctx_;  // declared first: goes after the operation
    Object pj_;
    std::string target_;
    bool sourceHasZ_, moveZ_;
};

}  // namespace

CoordinateSystems::CoordinateSystems(const std::string& source, const std::string& target) {
    const std::string_view sourceGiven = TrimBlanks(source), targetGiven = TrimBlanks(target);
    const Context ctx = NewContext();
    const Object sourceCrs = OpenSystem(ctx.get(), sourceGiven, "source");
    const Object targetCrs = OpenSystem(ctx.get(), targetGiven, "target");
    const SystemNames sourceNames = NamesOf(sourceCrs.get(), sourceGiven);
    const SystemNames targetNames = NamesOf(targetCrs.get(), targetGiven);
    sourceLabel_ = sourceNames.label;
    targetLabel_ = targetNames.label;
    targetShort_ = targetNames.brief;

    // One operation moves every point, so the report names what is applied.
    // PROJ ranks the candidates; we take its first.
    //  - Grid availability is ignored in the ranking. Sorted by it, an
    //    operation whose grid is not installed would go behind the others and
    //    a less accurate one would be taken without a word (from Austria
    //    Lambert the 1.5 m Helmert instead of the 0.14 m grid). Ignored, the
    //    best one stays first and its missing grid is an error naming it.
    //  - Candidates need only share part of the systems' area of use, as in
    //    cs2cs. Asked to cover all of it, PROJ offers between systems of a
    //    wide area (NAD27 to NAD83) only a ballpark offset, tens of metres
    //    off. So the operation covering most of the area comes first, then
    //    the most accurate one, and a point beyond its grid fails rather
    //    than being moved by another operation.
    const std::unique_ptr<PJ_OPERATION_FACTORY_CONTEXT, FactoryFree> factory(
        proj_create_operation_factory_context(ctx.get(), nullptr));
    if (!factory) throw KorvelError("PROJ cannot be started");
    proj_operation_factory_context_set_grid_availability_use(ctx.get(), factory.get(),
                                                             PROJ_GRID_AVAILABILITY_IGNORED);
    proj_operation_factory_context_set_spatial_criterion(
        ctx.get(), factory.get(), PROJ_SPATIAL_CRITERION_PARTIAL_INTERSECTION);
    const std::unique_ptr<PJ_OBJ_LIST, ListFree> candidates(
        proj_create_operations(ctx.get(), sourceCrs.get(), targetCrs.get(), factory.get()));
    if (!candidates || proj_list_get_count(candidates.get()) == 0)
        throw KorvelError("No transformation is known from " + sourceNames.brief + " to " +
                          targetNames.brief);
    const Object operation(proj_list_get(ctx.get(), candidates.get(), 0));
    if (!operation)
        throw KorvelError("No transformation is known from " + sourceNames.brief + " to " +
                          targetNames.brief);
    operationName_ = Text(proj_get_name(operation.get()));
    accuracy_ = proj_coordoperation_get_accuracy(ctx.get(), operation.get());

    const std::vector<std::string> missing = MissingGrids(ctx.get(), operation.get());
    if (!missing.empty()) throw KorvelError(MissingGridsText(operationName_, missing));

    // Easting first on both sides, whatever order the systems define.
    const Object normalized(proj_normalize_for_visualization(ctx.get(), operation.get()));
    const char* pipeline =
        normalized ? proj_as_proj_string(ctx.get(), normalized.get(), PJ_PROJ_5, nullptr) : nullptr;
    const Object check(pipeline ? proj_create(ctx.get(), pipeline) : nullptr);
    if (!proj_coordoperation_is_instantiable(ctx.get(), operation.get()) || !check)
        throw KorvelError("PROJ cannot carry out the transformation '" + operationName_ +
                          "' from " + sourceNames.brief + " to " + targetNames.brief);
    pipeline_ = pipeline;

    sourceHasZ_ = HasHeight(ctx.get(), sourceCrs.get());
    moveZ_ = sourceHasZ_ && HasHeight(ctx.get(), targetCrs.get());
}

std::vector<std::string> CoordinateSystems::ReportLines() const {
    return {"Source coordinate system: " + sourceLabel_,
            "Target coordinate system: " + targetLabel_,
            "Transformation: " + operationName_ + ", accuracy " +
                (accuracy_ >= 0 ? NumberText(accuracy_) + " m" : std::string("unknown"))};
}

std::unique_ptr<CoordinateTransform> CoordinateSystems::CreateTransform() const {
    return std::make_unique<ProjTransform>(pipeline_, targetShort_, sourceHasZ_, moveZ_);
}

std::string CoordinateSystemName(const std::string& definition) {
    const std::string_view given = TrimBlanks(definition);
    const Context ctx = NewContext();
    const Object crs = OpenSystem(ctx.get(), given, "");
    return NamesOf(crs.get(), given).label;
}

}  // namespace korvel
