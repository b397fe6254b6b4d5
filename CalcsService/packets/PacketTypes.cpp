#include "packets/PacketTypes.h"

namespace Packets {

std::string packetTypeName(std::uint32_t type) {
    switch (type) {
        case UNDEFINED_PACKET:
            return "UNDEFINED_PACKET";
        case CALC_RISK_CHART_DATA:
            return "CALC_RISK_CHART_DATA";
        case OPTIONS_CALCULATION_RESULT:
            return "OPTIONS_CALCULATION_RESULT";
        case SET_CALCULATION_SETTINGS:
            return "SET_CALCULATION_SETTINGS";
        case SET_OPTIONS_FOR_CALCULATIONS:
            return "SET_OPTIONS_FOR_CALCULATIONS";
        case OPTIONS_CALCULATED_PRICES:
            return "OPTIONS_CALCULATED_PRICES";
        case CALC_OPTIONS_THEOS_AND_GREEKS:
            return "CALC_OPTIONS_THEOS_AND_GREEKS";
        case RESULT_CALC_OPTIONS_THEOS_AND_GREEKS:
            return "RESULT_CALC_OPTIONS_THEOS_AND_GREEKS";
        case CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKS:
            return "CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKS";
        case INDIVIDUAL_OPTIONS_CALCULATION_RESULT:
            return "INDIVIDUAL_OPTIONS_CALCULATION_RESULT";
        case SET_UNDERLYING_OPTIONS_EOD:
            return "SET_UNDERLYING_OPTIONS_EOD";
        case SET_DELIVERY_FORMULA:
            return "SET_DELIVERY_FORMULA";
        case SET_GLOBAL_CALC_SETTINGS:
            return "SET_GLOBAL_CALC_SETTINGS";
        case SET_ADJ_OPTION_CALC_SETTINGS:
            return "SET_ADJ_OPTION_CALC_SETTINGS";
        case CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv2:
            return "CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv2";
        case BUILD_OPTION_TREE:
            return "BUILD_OPTION_TREE";
        case CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv3:
            return "CALC_INDIVIDUAL_OPTIONS_THEOS_AND_GREEKSv3";
        case BUILD_OPTION_TREEv3:
            return "BUILD_OPTION_TREEv3";
        case RISK_TABLE_INPUT_DATA:
            return "RISK_TABLE_INPUT_DATA";
        case GREEKS_BY_EXPIRATION:
            return "GREEKS_BY_EXPIRATION";
        case RISK_SLIDES:
            return "RISK_SLIDES";
        case SKEW:
            return "SKEW";
        case GAP_VIEW_INPUT_DATA:
            return "GAP_VIEW_INPUT_DATA";
        case GAP_VIEW_RESULT:
            return "GAP_VIEW_RESULT";
        case OPTION_CALCULATOR:
            return "OPTION_CALCULATOR";
        case OPTION_CALCULATOR_RESULT:
            return "OPTION_CALCULATOR_RESULT";
        case IMPLIED_VOLATILITY:
            return "IMPLIED_VOLATILITY";
        case IMPLIED_VOLATILITY_RESULT:
            return "IMPLIED_VOLATILITY_RESULT";
        case GET_LOG_FILE_PATH:
            return "GET_LOG_FILE_PATH";
        case REQUEST_SERVICE_INFO:
            return "REQUEST_SERVICE_INFO";
        case SET_AUTOUPDATE_INFO:
            return "SET_AUTOUPDATE_INFO";
        case RESET_AUTOUPDATE_INFO:
            return "RESET_AUTOUPDATE_INFO";
        case DOWNlOAD_VERSION:
            return "DOWNlOAD_VERSION";
        case USE_PROXY:
            return "USE_PROXY";
        case RISK_2D:
            return "RISK_2D";
        case ROOT2UNDERLYING_MAP:
            return "ROOT2UNDERLYING_MAP";
        case RESET_DATA:
            return "RESET_DATA";
        case DUMP_STOCK:
            return "DUMP_STOCK";
        case TEST_PACKET:
            return "TEST_PACKET";
    }
    return "UNKNOWN";
}

}  // namespace Packets
