#include "handlers/HandlerRegistry.h"

#include <memory>

#include "handlers/IndividualOptionsHandler.h"
#include "handlers/ModelHandlers.h"
#include "handlers/OptionTreeHandlers.h"
#include "handlers/ServiceHandlers.h"
#include "handlers/UnderlyingHandlers.h"
#include "packets/PacketTypes.h"

namespace Handlers {

Packets::PacketProcessor::HandlerTable calculationHandlers() {
    using namespace Packets;
    return {
        {CALC_RISK_CHART_DATA, std::make_shared<RiskChartDataHandler>()},
        {CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv2, std::make_shared<CalculateIndividualTheoasAndGreeksHandler>()},
        {CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv3, std::make_shared<v3::CalculateIndividualTheoasAndGreeksHandler>()},
        {RISK_TABLE_INPUT_DATA, std::make_shared<RiskTableHandler>()},
        {GREEKS_BY_EXPIRATION, std::make_shared<GreeksByExpirationHandler>()},
        {REQUEST_SERVICE_INFO, std::make_shared<ServiceInfoHandler>()},
        {SET_AUTOUPDATE_INFO, std::make_shared<SetAutoUpdateParamsHandler>()},
        {RESET_AUTOUPDATE_INFO, std::make_shared<ResetAutoUpdateParamsHandler>()},
        {DOWNlOAD_VERSION, std::make_shared<DownloadVersionHandler>()},
        {USE_PROXY, std::make_shared<ProxyInfoHandler>()},
        {SET_CALCULATION_SETTINGS, std::make_shared<SetStockSettingsHandler>()},
        {OPTION_CALCULATOR, std::make_shared<OptionCalculatorHandler>()},
        {IMPLIED_VOLATILITY, std::make_shared<VolatilityHandler>()},
        {RESET_DATA, std::make_shared<ResetDataHandler>()},
        {BUILD_OPTION_TREE, std::make_shared<BuildOptionsTreeHandler>()},
        {BUILD_OPTION_TREEv3, std::make_shared<v3::BuildOptionsTreeHandler>()},
        {SET_DELIVERY_FORMULA, std::make_shared<SetDeliveryFormulaHandler>()},
        {DUMP_STOCK, std::make_shared<DumpStockHandler>()},
        {RISK_2D, std::make_shared<RiskChart2DHandler>()},
        {ROOT2UNDERLYING_MAP, std::make_shared<Root2UnderlyingMapHandler>()},
    };
}

}  // namespace Handlers
